// Dots per inch as Windows 10 and 11 give them per monitor: the program declares that it
// lays itself out for each monitor's scale, so that Windows never stretches its pixels.
#pragma once

#include <windows.h>

// Before any window exists: the best awareness the platform has, asked for in order and
// looked up at run time, so that the program still starts where a call is missing.
void DeclareDpiAwareness();

// The dots per inch of the monitor the window is on, or the system's for no window or where
// the platform cannot tell monitors apart.
UINT WindowDpi(HWND window);

// AdjustWindowRectEx for a frame drawn at dpi, where the platform can say.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);
