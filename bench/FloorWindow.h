// What both floors share: a window of Quorvane's client size at the screen's DPI, centred on
// the screen, shown, and its messages run until it closes.
#pragma once

#include <windows.h>

#include "form.h"

namespace floor_window {

inline int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// The window of the class given (registered here), with the caption given; its exit code.
inline int Run(const WNDCLASSEXW& wc, const wchar_t* caption, int dpi, int showCommand) {
    if (!RegisterClassExW(&wc)) return 1;
    RECT outer = {0, 0, MulDiv(form::kClientSize.cx, dpi, form::kTwipsPerInch),
                  MulDiv(form::kClientSize.cy, dpi, form::kTwipsPerInch)};
    AdjustWindowRectEx(&outer, form::kStyle, FALSE, 0);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

    HWND window = CreateWindowExW(0, wc.lpszClassName, caption, form::kStyle, x, y, width, height, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    if (!window) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace floor_window
