#include "app/FixedFrame.h"

#include <utility>

#include "app/Dpi.h"
#include "form.h"

namespace {

POINT CentredOnScreen(SIZE outer) {
    return {(GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2, (GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2};
}

}  // namespace

int FixedFrame::Px(int twips) const { return MulDiv(twips, dpi_, form::kTwipsPerInch); }

RECT FixedFrame::Start(DWORD exStyle) {
    exStyle_ = exStyle;
    dpi_ = static_cast<int>(WindowDpi(nullptr));
    font_ = MakeFont();
    SizeWindow(nullptr);  // no window yet: only the size
    const POINT at = CentredOnScreen(outerSize_);
    return {at.x, at.y, at.x + outerSize_.cx, at.y + outerSize_.cy};
}

void FixedFrame::Attach(HWND window, HINSTANCE instance) {
    window_ = window;
    for (const form::ControlSpec& c : form::kControls) {
        HWND control =
            CreateWindowExW(c.exStyle, c.windowClass, c.text, WS_CHILD | WS_VISIBLE | c.style,
                            Px(c.place.left), Px(c.place.top), Px(c.place.width), Px(c.place.height), window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }
    // Made at the system's DPI; a primary monitor at another scale has its own.
    const int dpi = static_cast<int>(WindowDpi(window_));
    if (dpi == dpi_) return;
    dpi_ = dpi;
    LayOut(nullptr);
}

UniqueGdi<HFONT> FixedFrame::MakeFont() const {
    return UniqueGdi<HFONT>(CreateFontW(-MulDiv(8, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                        DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif"));
}

// The outer size that gives the client area in twips at the window's DPI, on the frame the
// platform reports for that DPI.
SIZE FixedFrame::OuterSizeForDpi() const {
    RECT outer = {0, 0, Px(form::kClientSize.cx), Px(form::kClientSize.cy)};
    AdjustWindowRectForDpi(outer, form::kStyle, exStyle_, static_cast<UINT>(dpi_));
    return {outer.right - outer.left, outer.bottom - outer.top};
}

// Everything from the same twips at the window's DPI: the 8-point font, the controls, and
// the fixed size, with the window's top-left corner at topLeft (centred on the screen if none).
void FixedFrame::LayOut(const POINT* topLeft) {
    UniqueGdi<HFONT> font = MakeFont();
    for (const form::ControlSpec& c : form::kControls) {
        HWND control = GetDlgItem(window_, c.id);
        SetWindowPos(control, nullptr, Px(c.place.left), Px(c.place.top), Px(c.place.width),
                     Px(c.place.height), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    font_ = std::move(font);  // the old one only now, when no control uses it
    SizeWindow(topLeft);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// The one place the outer size is set. A window in its normal state is given it at topLeft;
// maximized or minimized, restoring applies it.
void FixedFrame::SizeWindow(const POINT* topLeft) {
    const SIZE reported = OuterSizeForDpi();
    SIZE missing{};
    if (IsNormal()) {
        const POINT at = topLeft ? *topLeft : CentredOnScreen(reported);
        SetWindowPos(window_, nullptr, at.x, at.y, reported.cx, reported.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        // A platform may draw another frame than it reports for that DPI (Wine draws its own at
        // the system's): the client area is what must come out right.
        RECT client;
        GetClientRect(window_, &client);
        missing = {Px(form::kClientSize.cx) - client.right, Px(form::kClientSize.cy) - client.bottom};
    }
    outerSize_ = {reported.cx + missing.cx, reported.cy + missing.cy};
    if (missing.cx || missing.cy)
        SetWindowPos(window_, nullptr, 0, 0, outerSize_.cx, outerSize_.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FixedFrame::OnDpiChanged(UINT dpi, const RECT& suggested) {
    // Moved to a monitor of another scale, or the scale changed: the same twips at the new
    // DPI, where Windows suggests. The fields keep their text and the focus stays.
    dpi_ = static_cast<int>(dpi);
    const POINT topLeft = {suggested.left, suggested.top};
    LayOut(&topLeft);
}

void FixedFrame::OnSizing(RECT& proposed) const {
    // Windows runs a border drag in its own loop and dispatches posted messages there: the
    // frame would take each dragged size and be set back at once, flickering through the
    // drag. The size is fixed, so the frame does not move at all.
    if (IsNormal()) GetWindowRect(window_, &proposed);
}

void FixedFrame::AfterResize(WPARAM sizeType) {
    // Minimized and maximized windows keep the platform's size; the normal state is fixed.
    // The fixed size is set once the resize that raised this is complete, from a message
    // posted to the window itself. Set from inside that resize, Wine under a window manager
    // never passes it on to X, and the window stays at the manager's size, partly unpainted.
    if (sizeType == SIZE_RESTORED && !HasFixedSize()) PostMessageW(window_, kApplyFixedSizeMessage, 0, 0);
}

void FixedFrame::ApplyFixedSize() {
    // The window may have been maximized or minimized since the resize that posted this.
    if (!IsNormal() || HasFixedSize()) return;
    SetWindowPos(window_, nullptr, 0, 0, outerSize_.cx, outerSize_.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool FixedFrame::HasFixedSize() const {
    RECT r;
    GetWindowRect(window_, &r);
    return r.right - r.left == outerSize_.cx && r.bottom - r.top == outerSize_.cy;
}

bool FixedFrame::IsNormal() const { return window_ && !IsZoomed(window_) && !IsIconic(window_); }
