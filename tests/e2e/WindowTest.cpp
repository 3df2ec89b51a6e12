// The main window as a user meets it: where everything is, what it shows, and how it
// answers the keyboard, resizing and closing.
#include <algorithm>
#include <ole2.h>
#include <set>
#include <string>
#include <tuple>
#include <oleacc.h>

#include "TestBed.h"

namespace e2e {
namespace {

struct Box {
    int left, top, width, height;
};

// A control's place in pixels, relative to the main window's client area.
Box PlaceOf(HWND control, HWND parent) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

SIZE OuterSize(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// Drags the window's bottom-right corner with real mouse input, steps moves of (dx, dy),
// and returns every outer size seen, polled between the moves as fast as the platform answers.
std::vector<SIZE> DragCorner(HWND window, int steps, POINT delta) {
    SetForegroundWindow(window);
    EXPECT_TRUE(WaitUntil(kTimeoutMs, [&] { return GetForegroundWindow() == window; }));
    RECT r;
    GetWindowRect(window, &r);
    POINT at = {r.right - 2, r.bottom - 2};  // on the sizing border's corner
    std::vector<SIZE> seen;
    auto sendThenPoll = [&](DWORD flags) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &input, sizeof input);
        for (const ULONGLONG until = GetTickCount64() + 50; GetTickCount64() < until;)
            seen.push_back(OuterSize(window));
    };
    sendThenPoll(0);
    sendThenPoll(MOUSEEVENTF_LEFTDOWN);
    for (int i = 0; i < steps; ++i) {
        at = {at.x + delta.x, at.y + delta.y};
        sendThenPoll(0);
    }
    sendThenPoll(MOUSEEVENTF_LEFTUP);
    return seen;
}

// The pointer's shape once a window has set it, as for a mouse move over its client area (the
// WM_SETCURSOR the platform sends then, sent here). The pointer is the foreground window's.
HCURSOR PointerSetBy(HWND window) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                        MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), SMTO_ABORTIFHUNG, kTimeoutMs, &ignored);
    CURSORINFO info{};
    info.cbSize = sizeof info;
    GetCursorInfo(&info);
    return info.hCursor;
}

// The screen's dots per inch in this session: Wine 10, like Windows, reads the scale when the
// session starts, so scripts/test.sh runs the suites named *At144Dpi in a session of their own.
int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// The client area and the controls' places in pixels at a DPI.
struct Layout {
    SIZE client;
    Box controls[5];
};
// 15 twips to the pixel.
constexpr Layout kLayoutAt96 = {
    {236, 138},
    {{8, 24, 185, 19}, {200, 24, 25, 19}, {8, 72, 185, 19}, {200, 72, 25, 19}, {8, 104, 217, 25}}};
// 10 twips to the pixel; halves round up.
constexpr Layout kLayoutAt144 = {
    {354, 207},
    {{12, 36, 278, 29}, {300, 36, 38, 29}, {12, 108, 278, 29}, {300, 108, 38, 29}, {12, 156, 326, 38}}};

// The window is laid out as expected, centred on the screen or with its top-left at topLeft.
void ExpectLayout(const App& app, const Layout& layout, int line, const POINT* topLeft = nullptr) {
    SCOPED_TRACE(testing::Message() << "called from line " << line);
    RECT c;
    GetClientRect(app.window(), &c);
    EXPECT_EQ(layout.client.cx, c.right);
    EXPECT_EQ(layout.client.cy, c.bottom);

    const int ids[] = {IDC_BINFILE, IDC_COMMAND1, IDC_DEST, IDC_COMMAND2, IDC_COMMAND3};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(testing::Message() << "control " << ids[i]);
        const Box got = PlaceOf(app.control(ids[i]), app.window());
        EXPECT_EQ(layout.controls[i].left, got.left);
        EXPECT_EQ(layout.controls[i].top, got.top);
        EXPECT_EQ(layout.controls[i].width, got.width);
        EXPECT_EQ(layout.controls[i].height, got.height);
    }

    RECT w;
    GetWindowRect(app.window(), &w);
    if (topLeft) {
        EXPECT_EQ(topLeft->x, w.left);
        EXPECT_EQ(topLeft->y, w.top);
        return;
    }
    EXPECT_NEAR(GetSystemMetrics(SM_CXSCREEN) / 2, (w.left + w.right) / 2, 1);
    EXPECT_NEAR(GetSystemMetrics(SM_CYSCREEN) / 2, (w.top + w.bottom) / 2, 1);
}

// WM_DPICHANGED as Windows sends it: the suggested rectangle in the program's memory.
void SendDpiChanged(const App& app, UINT dpi, const RECT& suggested) {
    HANDLE process = app.program().process();
    void* remote = VirtualAllocEx(process, nullptr, sizeof suggested, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_TRUE(remote && WriteProcessMemory(process, remote, &suggested, sizeof suggested, nullptr));
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(SendMessageTimeoutW(app.window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                                    reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, kTimeoutMs,
                                    &ignored));
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
}

// Where a field draws its text's eighth character: it moves with the font's size.
int TextOffset(const App& app, int id) {
    DWORD_PTR position = 0;
    SendMessageTimeoutW(app.control(id), EM_POSFROMCHAR, 8, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &position);
    return LOWORD(position);
}

// The form's font, 8-point "MS Sans Serif", as the program makes it for dpi.
UniqueGdi<HFONT> FormFont(int dpi) {
    return UniqueGdi<HFONT>(CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                        DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif"));
}

// The same in a field of this driver's own, in the form's 8-point font at dpi.
int TextOffsetIn8Points(int dpi, const std::wstring& text) {
    const UniqueGdi<HFONT> font = FormFont(dpi);
    HWND field =
        CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_POPUP | ES_AUTOHSCROLL, 0, 0,
                        MulDiv(2775, dpi, 1440), MulDiv(285, dpi, 1440), nullptr, nullptr, nullptr, nullptr);
    SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    SetWindowTextW(field, text.c_str());
    const int offset = LOWORD(SendMessageW(field, EM_POSFROMCHAR, 8, 0));
    DestroyWindow(field);  // before its font
    return offset;
}

// The controls as the screen shows them (client: the client area, painted) for a program
// started at dpi: each label's and button's caption on one line in the form's 8-point
// "MS Sans Serif", and each field's sunken edge whole.
void ExpectControlsDrawnWhole(const App& app, const Capture& client, int dpi, int line) {
    SCOPED_TRACE(testing::Message() << "called from line " << line);
    // Pixels of a line of n, from (x, y) by (dx, dy), off the colour of its last.
    const auto off = [&](int x, int y, int dx, int dy, int n) {
        int count = 0;
        for (int i = 0; i < n; ++i)
            count += client.at(x + i * dx, y + i * dy) != client.at(x + (n - 1) * dx, y + (n - 1) * dy);
        return count;
    };
    // Captions are measured in the font made as the program makes it.
    const UniqueGdi<HFONT> font = FormFont(dpi);
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));  // let go before the font
    SelectObject(dc.get(), font.get());
    for (int id : {IDC_LABEL1, IDC_BINFILE, IDC_COMMAND1, IDC_LABEL2, IDC_DEST, IDC_COMMAND2, IDC_COMMAND3}) {
        SCOPED_TRACE(testing::Message() << "control " << id);
        RECT r;
        GetWindowRect(app.control(id), &r);
        MapWindowPoints(nullptr, app.window(), reinterpret_cast<POINT*>(&r), 2);
        if (id == IDC_BINFILE || id == IDC_DEST) {  // two rings of one pixel, corners left out
            int broken = 0;
            for (int k = 0, w = r.right - r.left - 2, h = r.bottom - r.top - 2; k < 2; ++k, w -= 2, h -= 2)
                broken +=
                    off(r.left + k + 1, r.top + k, 1, 0, w) + off(r.left + k + 1, r.bottom - 1 - k, 1, 0, w) +
                    off(r.left + k, r.top + k + 1, 0, 1, h) + off(r.right - 1 - k, r.top + k + 1, 0, 1, h);
            EXPECT_EQ(0, broken) << "pixels of the field's sunken edge off their ring's colour";
            continue;
        }
        // A label's text is white, a button's dark, inside its 3-D border.
        const bool label = id == IDC_LABEL1 || id == IDC_LABEL2;
        if (!label) InflateRect(&r, -3, -3);
        RECT ink = {r.right, r.bottom, r.left, r.top};
        int inked = 0;
        for (LONG y = r.top; y < r.bottom; ++y)
            for (LONG x = r.left; x < r.right; ++x) {
                const COLORREF c = client.at(x, y);
                if (label ? std::min({GetRValue(c), GetGValue(c), GetBValue(c)}) > 220
                          : std::max({GetRValue(c), GetGValue(c), GetBValue(c)}) < 100) {
                    ink = {std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1), y + 1};
                    ++inked;
                }
            }
        // Between a label's glyphs the picture shows, not a box of the text's colour.
        if (label) {
            EXPECT_LT(inked, (ink.right - ink.left) * (ink.bottom - ink.top) / 2)
                << "the text's box is white all over";
        }
        const std::wstring text = WindowTextOf(app.control(id));
        SIZE size{};
        GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
        // The glyphs' side bearings leave the text's pixels 1 to 3 narrower than its advance.
        EXPECT_LE(ink.right - ink.left, size.cx) << "wider than in 8-point MS Sans Serif";
        EXPECT_GE(ink.right - ink.left, size.cx - 3) << "narrower than in 8-point MS Sans Serif";
        EXPECT_LE(ink.bottom - ink.top, size.cy) << "taller than one line";
    }
}

HWND FocusOf(const App& app) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(app.window(), nullptr), &info);
    return info.hwndFocus;
}

bool SizeIs(HWND window, SIZE size) {
    const SIZE now = OuterSize(window);
    return now.cx == size.cx && now.cy == size.cy;
}

// The client area once painted.
Capture PaintedClient(App& app) {
    app.Settle();
    return SettledCapture(ClientRectOnScreen(app.window()));
}

void ExpectColourNear(COLORREF expected, COLORREF got, int tolerance) {
    EXPECT_NEAR(GetRValue(expected), GetRValue(got), tolerance);
    EXPECT_NEAR(GetGValue(expected), GetGValue(got), tolerance);
    EXPECT_NEAR(GetBValue(expected), GetBValue(got), tolerance);
}

// What a screen reader hears for a window: its accessible name, as the platform gives it.
std::wstring AccessibleName(HWND window) {
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible,
                                          reinterpret_cast<void**>(&object))))
        return L"<no accessible object>";
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    object->get_accName(self, &name);
    std::wstring text = name ? name : L"";
    SysFreeString(name);
    object->Release();
    return text;
}

bool Near(COLORREF a, COLORREF b) {
    return abs(GetRValue(a) - GetRValue(b)) <= 8 && abs(GetGValue(a) - GetGValue(b)) <= 8 &&
           abs(GetBValue(a) - GetBValue(b)) <= 8;
}

// Pixels of the program's own icon missing from the window's top-left corner on the screen, at
// the best of the places it may be drawn: 0 when the title bar shows it. Only the icon's
// opaque pixels count: those it draws the same over black and over white.
int CaptionIconMismatches(HWND window) {
    const int n = GetSystemMetrics(SM_CXSMICON);
    const UniqueModule exe(LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    HICON icon =
        static_cast<HICON>(LoadImageW(exe.get(), MAKEINTRESOURCEW(IDI_QUORVANE), IMAGE_ICON, n, n, 0));
    if (!icon) return -1;
    HDC screen = GetDC(nullptr);
    UniqueMemoryDc dc(CreateCompatibleDC(screen));
    UniqueGdi<HBITMAP> bitmap(CreateCompatibleBitmap(screen, 2 * n, n));
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
    PatBlt(dc.get(), 0, 0, n, n, BLACKNESS);
    PatBlt(dc.get(), n, 0, n, n, WHITENESS);
    DrawIconEx(dc.get(), 0, 0, icon, n, n, 0, nullptr, DI_NORMAL);
    DrawIconEx(dc.get(), n, 0, icon, n, n, 0, nullptr, DI_NORMAL);
    RECT w;
    GetWindowRect(window, &w);
    const Capture corner = SettledCapture({w.left, w.top, w.left + 2 * n, w.top + 2 * n});
    int fewest = n * n;
    for (int at = 0; at < (n + 1) * (n + 1); ++at) {
        int missing = 0;
        for (int i = 0; i < n * n; ++i) {
            const COLORREF pixel = GetPixel(dc.get(), i % n, i / n);
            missing += pixel == GetPixel(dc.get(), n + i % n, i / n) &&
                       !Near(pixel, corner.at(at % (n + 1) + i % n, at / (n + 1) + i / n));
        }
        fewest = std::min(fewest, missing);
    }
    SelectObject(dc.get(), old);
    DestroyIcon(icon);
    return fewest;
}

class MainWindow : public AppTest {};

// Run in a session that started at 144 DPI (scripts/test.sh), as a screen at 150 % is.
class MainWindowAt144Dpi : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_EQ(144, ScreenDpi()) << "not run in a session at 144 DPI";
    }
};

TEST_F(MainWindow, LaysOutTheFormInTwipsAt96Dpi) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    EXPECT_EQ(kCaption, WindowTextOf(app.window()));
    ExpectLayout(app, kLayoutAt96, __LINE__);
    EXPECT_EQ(L"...", app.Text(IDC_COMMAND1));
    EXPECT_EQ(L"...", app.Text(IDC_COMMAND2));
    EXPECT_EQ(L"by Ravelyn -=GO=-", app.Text(IDC_COMMAND3));
    EXPECT_EQ(L"", app.Text(IDC_BINFILE));
    EXPECT_EQ(L"", app.Text(IDC_DEST));
    app.Settle();
    EXPECT_EQ(0, CaptionIconMismatches(app.window())) << "the title bar does not show the program's icon";
    SetForegroundWindow(app.window());
    const HCURSOR overField = PointerSetBy(app.control(IDC_BINFILE));
    EXPECT_NE(overField, PointerSetBy(app.window())) << "over the picture the pointer keeps a field's shape";
    const LONG style = GetWindowLongW(app.window(), GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              style & (WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
}

TEST_F(MainWindowAt144Dpi, GrowsWithTheScreenDpi) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    ExpectLayout(app, kLayoutAt144, __LINE__);
    EXPECT_EQ(L"Choose your Bin file", AccessibleName(app.control(IDC_BINFILE)));
    EXPECT_EQ(L"Choose the destination", AccessibleName(app.control(IDC_DEST)));
}

TEST_F(MainWindowAt144Dpi, LaysItselfOutAgainForTheDpiOfEachMonitor) {
    const std::wstring text = L"C:\\img\\game.bin";
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    app.SetText(IDC_DEST, text);
    const int offsetAt144 = TextOffset(app, IDC_DEST);
    ASSERT_TRUE(WaitUntil(kTimeoutMs, [&] { return FocusOf(app) == app.control(IDC_BINFILE); }));

    // As Windows does when the window moves to a monitor at 100 %, and back to one at 150 %.
    for (auto [dpi, layout, offset] : {std::tuple{96u, kLayoutAt96, TextOffsetIn8Points(96, text)},
                                       std::tuple{144u, kLayoutAt144, offsetAt144}}) {
        SCOPED_TRACE(testing::Message() << "to " << dpi << " dpi");
        const POINT suggested = {40 + static_cast<int>(dpi), 30};
        SendDpiChanged(app, dpi, {suggested.x, suggested.y, suggested.x + 400, suggested.y + 300});
        ExpectLayout(app, layout, __LINE__, &suggested);
        EXPECT_EQ(offset, TextOffset(app, IDC_DEST)) << "the font is not 8 points at this DPI";
        EXPECT_EQ(text, app.Text(IDC_DEST));
        EXPECT_EQ(app.control(IDC_BINFILE), FocusOf(app));
        EXPECT_EQ(L"Choose the destination", AccessibleName(app.control(IDC_DEST)));
    }
    EXPECT_FALSE(ReadSetting(L"FolderOpen").present);
    EXPECT_FALSE(ReadSetting(L"FolderRec").present);
}

TEST_F(MainWindowAt144Dpi, PictureStaysAtItsPixelSizeOverTheBackColour) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    const Jpeg jpeg(scratch.path() + L"Quorvane.exe");
    const Capture shot = PaintedClient(app);
    ExpectControlsDrawnWhole(app, shot, 144, __LINE__);
    // Between the fields and their buttons, the picture, unscaled.
    for (int y : {0, 20, 33, 80, 100, 145, 200, 206}) {
        SCOPED_TRACE(testing::Message() << "row " << y);
        ExpectColourNear(jpeg.at(295, y), shot.at(295, y), 6);
    }
    // Right of the buttons and past the picture's 300 pixels, the back colour.
    for (int y = 0; y < 207; y += 23) {
        SCOPED_TRACE(testing::Message() << "row " << y);
        ExpectColourNear(RGB(1, 0, 66), shot.at(345, y), 0);
        ExpectColourNear(RGB(1, 0, 66), shot.at(353, y), 0);
    }
}

TEST_F(MainWindow, ShowsThePictureAndWhiteLabelsBeneathTheFields) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    const Jpeg jpeg(scratch.path() + L"Quorvane.exe");
    const Capture shot = PaintedClient(app);
    for (int y = 0; y < 138; y += 9) {
        SCOPED_TRACE(testing::Message() << "row " << y);
        for (int x : {0, 230, 235}) ExpectColourNear(jpeg.at(x, y), shot.at(x, y), 6);
    }
    // White label text over the picture, each caption on one line, each field's edge whole.
    ExpectControlsDrawnWhole(app, shot, 96, __LINE__);
    // The picture's decoder is let go once the picture is copied.
    const std::set<std::string> modules = app.program().Modules();
    EXPECT_TRUE(modules.count("user32.dll"));
    EXPECT_FALSE(modules.count("windowscodecs.dll"));
}

TEST_F(MainWindow, ScreenReadersNameEachFieldByItsLabel) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    EXPECT_EQ(L"Choose your Bin file", AccessibleName(app.control(IDC_BINFILE)));
    EXPECT_EQ(L"Choose the destination", AccessibleName(app.control(IDC_DEST)));
}

TEST_F(MainWindow, FocusStartsInTheInputFieldAndTabFollowsTheForm) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    EXPECT_TRUE(WaitUntil(kTimeoutMs, [&] { return FocusOf(app) == app.control(IDC_BINFILE); }));
    for (int id : {IDC_COMMAND1, IDC_DEST, IDC_COMMAND2, IDC_COMMAND3, IDC_BINFILE}) {
        PostMessageW(FocusOf(app), WM_KEYDOWN, VK_TAB, 0x000F0001);
        app.Settle();
        EXPECT_EQ(app.control(id), FocusOf(app)) << "after Tab, expected control " << id;
    }
}

TEST_F(MainWindow, EnterInTheInputFieldAndEscStartNothing) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    app.SetText(IDC_BINFILE, L"C:\\img\\game.bin");
    app.SetText(IDC_DEST, L"C:\\out\\new.bin");
    app.PostKey(IDC_BINFILE, VK_RETURN);
    app.PostKey(IDC_BINFILE, VK_ESCAPE);
    app.PostKey(IDC_DEST, VK_ESCAPE);
    app.PostKey(IDC_COMMAND3, VK_ESCAPE);
    app.Settle();
    EXPECT_TRUE(app.Running());
    EXPECT_FALSE(WaitUntil(200, [&] {
        return app.program().TopWindow(nullptr, L"", app.window()) != nullptr;
    })) << "a window opened";
    EXPECT_TRUE(IsWindowEnabled(app.window())) << "a modal window is up";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((scratch.path() + L"kx-record.txt").c_str()));
    EXPECT_EQ(L"C:\\img\\game.bin", app.Text(IDC_BINFILE));
    EXPECT_EQ(L"C:\\out\\new.bin", app.Text(IDC_DEST));
}

TEST_F(MainWindow, KeepsItsSizeAndPlaceAndSurvivesMaximizeAndMinimize) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    const SIZE fixed = OuterSize(app.window());
    RECT placed;
    GetWindowRect(app.window(), &placed);
    auto isFixedInPlace = [&] {
        RECT now;
        GetWindowRect(app.window(), &now);
        return SizeIs(app.window(), fixed) && now.left == placed.left && now.top == placed.top;
    };

    // A border dragged wider and taller is undone at once, where the window was.
    SetWindowPos(app.window(), nullptr, 0, 0, fixed.cx + 120, fixed.cy + 90, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(WaitUntil(kTimeoutMs, isFixedInPlace));
    SetWindowPos(app.window(), nullptr, 0, 0, fixed.cx - 60, fixed.cy - 40, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(WaitUntil(kTimeoutMs, isFixedInPlace));

    for (int state : {SW_MAXIMIZE, SW_MINIMIZE}) {
        SCOPED_TRACE(testing::Message() << "show state " << state);
        ShowWindowAsync(app.window(), state);
        EXPECT_TRUE(WaitUntil(kTimeoutMs, [&] {
            return state == SW_MAXIMIZE ? IsZoomed(app.window()) : IsIconic(app.window());
        }));
        app.Settle();
        EXPECT_TRUE(app.Running());
        ShowWindowAsync(app.window(), SW_RESTORE);
        EXPECT_TRUE(WaitUntil(kTimeoutMs, [&] {
            return !IsZoomed(app.window()) && !IsIconic(app.window()) && SizeIs(app.window(), fixed);
        }));
    }

    // Started from a shortcut set to "Run: Minimized".
    const App minimized(scratch.path(), {false, SW_SHOWMINNOACTIVE});
    ASSERT_TRUE(minimized.window());
    EXPECT_TRUE(IsIconic(minimized.window()));
}

TEST_F(MainWindow, StaysStillThroughABorderDrag) {
    const auto changed = [](const std::vector<SIZE>& seen, SIZE from) {
        return std::count_if(seen.begin(), seen.end(),
                             [&](SIZE s) { return s.cx != from.cx || s.cy != from.cy; });
    };
    // The same drag resizes a window without a fixed size: it is a real drag.
    scratch.CopyIn(L"bare_window.exe");
    {
        const App bare(scratch.path(), {false, -1, L"bare_window.exe", L"Bare Window"});
        ASSERT_TRUE(bare.window());
        const SIZE before = OuterSize(bare.window());
        EXPECT_GT(changed(DragCorner(bare.window(), 8, {12, 9}), before), 0) << "the drag resized nothing";
    }
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    const SIZE fixed = OuterSize(app.window());
    const std::vector<SIZE> seen = DragCorner(app.window(), 8, {12, 9});
    EXPECT_EQ(0, changed(seen, fixed)) << "polls of the size that saw another, of " << seen.size();
}

TEST_F(MainWindow, ClosingWithFilledFieldsStartsAndSavesNothing) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    app.SetText(IDC_BINFILE, L"C:\\img\\game.bin");
    app.SetText(IDC_DEST, L"C:\\out\\new.bin");
    PostMessageW(app.window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(app.WaitForExit());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((scratch.path() + L"kx-record.txt").c_str()));
    EXPECT_FALSE(ReadSetting(L"FolderOpen").present);
    EXPECT_FALSE(ReadSetting(L"FolderRec").present);
}

}  // namespace
}  // namespace e2e
