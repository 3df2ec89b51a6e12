// A test tool reads other programs' windows: it declares per-monitor DPI awareness (version 2)
// before anything else, or Windows, and Wine 10 with it, hands it their sizes and pixels
// scaled to 96 DPI.
#pragma once

#include <windows.h>

inline bool DeclarePerMonitorAwareness() {
    // Looked up at run time: older systems lack it, and Wine 8, which has set an awareness
    // of its own already, refuses it.
    using SetContextFn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    const auto setContext = reinterpret_cast<SetContextFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    return setContext && setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}
