// The main window under a real window manager: openbox, with Wine's managed windows, so that
// the manager draws the frame and sizes the window as on a user's desktop. These tests run on
// a display and in a prefix of their own, which scripts/test.sh starts before CTest. Each
// check reads the window from both sides: the X window (in managed mode, the client area as
// the user sees it) and the program's own client area.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TestBed.h"

namespace e2e {
namespace {

constexpr SIZE kFixedClient = {236, 138};  // 3540 x 2070 twips at 96 dpi

// The X window's place and size on the screen, as xwininfo reads them.
RECT XRectOf(const std::string& id) {
    const std::string text = RunX("xwininfo -id " + id);
    auto field = [&](const char* name) {
        const size_t at = text.find(name);
        return at == std::string::npos ? -1 : atoi(text.c_str() + at + strlen(name));
    };
    const int left = field("Absolute upper-left X:"), top = field("Absolute upper-left Y:");
    return {left, top, left + field("Width:"), top + field("Height:")};
}

bool HasFixedSize(const RECT& r) {
    return r.right - r.left == kFixedClient.cx && r.bottom - r.top == kFixedClient.cy;
}

// Where the controls are, relative to the client area: the labels, which have no background
// of their own, apart from the fields and buttons.
struct Controls {
    std::vector<RECT> labels, opaque;
};
Controls ControlsOf(HWND window) {
    Controls controls;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        (_wcsicmp(className, L"Static") == 0 ? controls.labels : controls.opaque).push_back(r);
    }
    return controls;
}

bool Inside(const std::vector<RECT>& rects, POINT p) {
    return std::any_of(rects.begin(), rects.end(), [&](const RECT& r) { return PtInRect(&r, p) != FALSE; });
}

bool IsWhite(COLORREF c) { return GetRValue(c) > 220 && GetGValue(c) > 220 && GetBValue(c) > 220; }

class WindowManager : public AppTest {
protected:
    void SetUp() override {
        ASSERT_NE(std::string::npos, RunX("wmctrl -m").find("Name:"))
            << "no window manager on this display: scripts/test.sh starts one for these tests";
        AppTest::SetUp();
    }

    // Asks the manager to resize the window while the program is held still, and lets the
    // program run on once X shows the new size: the program then meets the change complete,
    // and no check can pass by looking before the manager has acted.
    void ResizeThroughTheManager(App& app, const std::string& request) {
        const std::string id = XWindowOf(app.window());
        app.Freeze();
        RunX(request);
        EXPECT_TRUE(WaitUntil(kTimeoutMs, [&] { return !HasFixedSize(XRectOf(id)); }))
            << "the manager did not resize the window: " << request;
        app.Thaw();
    }

    // X and the program agree on the window's place at the fixed size, and every pixel of it
    // outside the fields and buttons shows the picture, but for the labels' white text.
    void ExpectFixedAndPainted(App& app, int line) {
        SCOPED_TRACE(testing::Message() << "called from line " << line);
        const std::string id = XWindowOf(app.window());
        RECT x{}, client{};
        const bool fixed = WaitUntil(kTimeoutMs, [&] {
            x = XRectOf(id);
            client = ClientRectOnScreen(app.window());
            return HasFixedSize(x) && EqualRect(&x, &client);
        });
        EXPECT_TRUE(fixed) << "X window " << x.right - x.left << "x" << x.bottom - x.top << " at " << x.left
                           << "," << x.top << "; client area " << client.right - client.left << "x"
                           << client.bottom - client.top << " at " << client.left << "," << client.top;
        if (!fixed) return;

        app.Settle();
        const Capture shot = SettledCapture(x);
        const Jpeg jpeg(scratch.path() + L"Quorvane.exe");
        const Controls controls = ControlsOf(app.window());
        int unpainted = 0;
        for (int py = 0; py < shot.height(); ++py)
            for (int px = 0; px < shot.width(); ++px) {
                const COLORREF want = jpeg.at(px, py), got = shot.at(px, py);
                if (Inside(controls.opaque, {px, py}) || (Inside(controls.labels, {px, py}) && IsWhite(got)))
                    continue;
                if (abs(GetRValue(want) - GetRValue(got)) > 6 || abs(GetGValue(want) - GetGValue(got)) > 6 ||
                    abs(GetBValue(want) - GetBValue(got)) > 6)
                    ++unpainted;
            }
        EXPECT_EQ(0, unpainted) << "pixels of the window not showing the picture";
    }
};

TEST_F(WindowManager, OpensAtItsSize) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    ExpectFixedAndPainted(app, __LINE__);
}

TEST_F(WindowManager, KeepsItsSizeWhenTheManagerResizesIt) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    ExpectFixedAndPainted(app, __LINE__);
    // As a border drag asks.
    ResizeThroughTheManager(app, "xdotool windowsize " + XWindowOf(app.window()) + " 400 300");
    ExpectFixedAndPainted(app, __LINE__);
}

TEST_F(WindowManager, ComesBackToItsSizeAfterMaximize) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    ExpectFixedAndPainted(app, __LINE__);
    const std::string id = XWindowOf(app.window());

    // Maximized in height only (openbox's middle button), and back. Under Wine 8 the X window
    // is back at its size at once; under Wine 10 it stays the screen's height until the
    // manager lets go, and the program is told nothing meanwhile (its client area stays).
    ResizeThroughTheManager(app, "wmctrl -i -r " + id + " -b add,maximized_vert");
    RunX("wmctrl -i -r " + id + " -b remove,maximized_vert");
    ExpectFixedAndPainted(app, __LINE__);

    RunX("wmctrl -i -r " + id + " -b add,maximized_vert,maximized_horz");
    EXPECT_TRUE(WaitUntil(kTimeoutMs, [&] { return IsZoomed(app.window()) != FALSE; }));
    RunX("wmctrl -i -r " + id + " -b remove,maximized_vert,maximized_horz");
    EXPECT_TRUE(WaitUntil(kTimeoutMs, [&] { return !IsZoomed(app.window()); }));
    ExpectFixedAndPainted(app, __LINE__);
}

}  // namespace
}  // namespace e2e
