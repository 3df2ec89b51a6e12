#include "app/Dpi.h"

#include "app/SystemLibrary.h"

namespace {

HMODULE User32() { return GetModuleHandleW(L"user32.dll"); }

}  // namespace

void DeclareDpiAwareness() {
    // Windows 10 1703 and later: per-monitor version 2 scales the frame and dialogs too.
    using SetContextFn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    if (auto setContext = LibraryFunction<SetContextFn>(User32(), "SetProcessDpiAwarenessContext")) {
        if (setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) ||
            setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE))
            return;
        // Refused: the process has an awareness already (Wine sets its own). The Windows 8.1
        // call would refuse it the same way, and loading its library costs milliseconds.
    } else if (const UniqueModule shcore = LoadSystemLibrary(L"shcore.dll")) {
        // Windows 8.1 and 10 before 1703: per monitor, from the scaling library, needed once.
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
