#include "app/Dpi.h"

#include "app/SystemLibrary.h"

namespace {

HMODULE User32() { return GetModuleHandleW(L"user32.dll"); }

}  // namespace

void DeclareDpiAwareness() {
    // Windows 10 1703 and later: per-monitor version 2 scales the frame and dialogs too.
    using SetContextFn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    if (auto setContext = LibraryFunction<SetContextFn>(User32(), "SetProcessDpiAwarenessContext"))
        if (setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) ||
            setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE))
            return;
    // Windows 8.1: per monitor, from the scaling library; once asked, it is not needed again.
    if (UniqueModule shcore = LoadSystemLibrary(L"shcore.dll")) {
        using SetAwarenessFn = HRESULT(WINAPI*)(int);
        constexpr int kPerMonitorAware = 2;  // PROCESS_PER_MONITOR_DPI_AWARE
        auto setAwareness = LibraryFunction<SetAwarenessFn>(shcore.get(), "SetProcessDpiAwareness");
        if (setAwareness && SUCCEEDED(setAwareness(kPerMonitorAware))) return;
    }
    // Vista and 7: one DPI for the whole system.
    using SetAwareFn = BOOL(WINAPI*)();
    if (auto setAware = LibraryFunction<SetAwareFn>(User32(), "SetProcessDPIAware")) setAware();
}

UINT WindowDpi(HWND window) {
    using GetDpiFn = UINT(WINAPI*)(HWND);
    if (auto getDpi = window ? LibraryFunction<GetDpiFn>(User32(), "GetDpiForWindow") : nullptr)
        if (const UINT dpi = getDpi(window)) return dpi;
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi);
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi) {
    using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    if (auto adjust = LibraryFunction<AdjustFn>(User32(), "AdjustWindowRectExForDpi"))
        if (adjust(&rect, style, FALSE, exStyle, dpi)) return;
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}
