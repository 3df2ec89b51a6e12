// The window's geometry: the form's twips at the window's DPI (the controls, their 8-point
// font, the outer size around the client area) and the rule that holds that size fixed.
#pragma once

#include <windows.h>

#include "common/Unique.h"

class FixedFrame {
public:
    // Posted by the frame to its window after a resize; the window hands it to ApplyFixedSize.
    static constexpr UINT kApplyFixedSizeMessage = WM_APP + 1;

    // Before the window exists: the rectangle to make it with, centred on the screen at the
    // system's DPI, which puts it on the primary monitor. exStyle is the window's.
    RECT Start(DWORD exStyle);
    // Takes the new window: makes its controls from form.h at the DPI it was made at, in the
    // font; then lays everything out again if the window's monitor has a DPI of its own.
    void Attach(HWND window, HINSTANCE instance);

    void AfterResize(WPARAM sizeType);
    void ApplyFixedSize();
    void OnSizing(RECT& proposed) const;
    void OnDpiChanged(UINT dpi, const RECT& suggested);

private:
    int Px(int twips) const;
    UniqueGdi<HFONT> MakeFont() const;
    SIZE OuterSizeForDpi() const;
    void LayOut(const POINT* topLeft);
    void SizeWindow(const POINT* topLeft);
    bool HasFixedSize() const;
    bool IsNormal() const;

    HWND window_{};
    DWORD exStyle_{};
    int dpi_ = 96;
    SIZE outerSize_{};
    UniqueGdi<HFONT> font_;
};
