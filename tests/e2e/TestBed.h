// A small driver for the real program: starts it in a scratch folder, finds its windows,
// types into its fields, clicks, and reads what it shows. Every wait polls for an
// observable effect up to a deadline; nothing sleeps a fixed time.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/Unique.h"
#include "resource.h"

namespace e2e {

constexpr DWORD kTimeoutMs = 10000;
constexpr wchar_t kCaption[] = L"Ostrafel Frontend 1.2";

// Folder of this driver, where the build puts Quorvane.exe and the tool double kx.exe.
std::wstring BuildFolder();
// The program under test: Quorvane.exe in BuildFolder(), or the one QUORVANE_EXE names
// relative to it (another compiler's build).
std::wstring ProgramPath();

// A folder of its own for one test, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& path() const { return path_; }   // ends with a backslash
    std::wstring MakeDir(const std::wstring& relative);  // returns it with a trailing backslash
    // Quorvane.exe: ProgramPath()
    void CopyIn(const std::wstring& fileInBuild, const std::wstring& as = L"");

private:
    std::wstring path_;
};

// The tool double's record: each "name=value" line, names repeated in order.
using Record = std::multimap<std::wstring, std::wstring>;
std::vector<std::wstring> RecordAll(const Record& record, const std::wstring& name);
std::wstring RecordOne(const Record& record, const std::wstring& name);
// Waits for the tool double to leave its record in folder; false on timeout.
bool WaitForRecord(const std::wstring& folder, Record& record, DWORD timeoutMs = kTimeoutMs);
// "name=value" lines of a UTF-16 file; empty when it cannot be read.
std::vector<std::pair<std::wstring, std::wstring>> ReadRecordLines(const std::wstring& path);

struct MessageBoxSeen {
    HWND box{};
    std::wstring text;
    HWND owner{};
    bool ownerDisabled = false;
    int buttons = 0;  // push buttons in the box
    bool okButton = false;
    double redShare = 0;  // share of the icon's pixels that are clearly red (the stop icon)
};

// How a program is started: by default as Explorer starts it, Quorvane.exe with no show mode.
struct Start {
    bool inheritHandles = false;  // the program gets this driver's inheritable handles
    int show = -1;                // a show mode, as a shortcut's "Run:" passes it
    std::wstring program = L"Quorvane.exe";
    std::wstring caption = kCaption;
};

// One run of a program (Quorvane.exe) from a scratch folder, with that folder as its
// current folder.
class App {
public:
    explicit App(const std::wstring& folder, const Start& how = {});
    ~App();  // ends the process if a test left it running
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    HWND window() const { return window_; }
    HWND control(int id) const { return GetDlgItem(window_, id); }

    void SetText(int id, const std::wstring& text);
    std::wstring Text(int id) const;
    void Click(int id);             // posted: a modal box opened by the click must not block the driver
    void PostKey(int id, WORD vk);  // WM_KEYDOWN/WM_KEYUP through the program's own loop
    void PostChar(int id, wchar_t c);
    void Paste(int id, const std::wstring& text);  // through the clipboard, over the field's text

    bool WaitForExit(DWORD timeoutMs = kTimeoutMs);
    bool Running() const;
    // A #32770 window of this process with this caption, shown; nullptr on timeout.
    HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs = kTimeoutMs) const;
    // Any shown top-level window of this process besides the main one; nullptr on timeout.
    HWND WaitForOtherWindow(DWORD timeoutMs) const;
    MessageBoxSeen ReadMessageBox(HWND box) const;
    void CloseMessageBox(HWND box);
    // Posted input is handled in order: a round trip through the queue proves it was seen.
    void Settle();
    bool HasLoaded(const wchar_t* module) const;
    // WM_DPICHANGED as Windows sends it: the suggested rectangle in the program's memory.
    void SendDpiChanged(UINT dpi, const RECT& suggested);
    // Holds the program's only thread still, and lets it run on.
    void Freeze() { SuspendThread(thread_.get()); }
    void Thaw() { ResumeThread(thread_.get()); }

private:
    UniqueHandle process_, thread_;
    DWORD pid_ = 0;
    HWND window_{};
};

std::wstring WindowTextOf(HWND window);
SIZE OuterSize(HWND window);
// Drags the window's bottom-right corner with real mouse input, steps moves of (dx, dy),
// and returns every outer size seen, polled between the moves as fast as the platform answers.
std::vector<SIZE> DragCorner(HWND window, int steps, POINT delta);
// The pointer's shape once a window has set it, as for a mouse move over its client area (the
// WM_SETCURSOR the platform sends then, sent here). The pointer is the foreground window's.
HCURSOR PointerSetBy(HWND window);
bool WaitUntil(DWORD timeoutMs, const std::function<bool()>& condition);

// The program's settings in HKLM\Software\Quorvane, read and reset independently of it.
constexpr wchar_t kSettingsKey[] = L"Software\\Quorvane";
void DeleteSettings();
struct RegValue {
    bool present = false;
    DWORD type = 0;
    std::wstring text;
};
RegValue ReadSetting(const std::wstring& name);
void WriteSetting(const std::wstring& name, const std::wstring& text);

// Tells Wine to prefer, for Quorvane.exe, a library of each name found by the library
// search over its own (as Windows does for all but its known system libraries), while alive.
class PreferFoundLibraries {
public:
    explicit PreferFoundLibraries(std::initializer_list<const wchar_t*> names);
    ~PreferFoundLibraries();
    PreferFoundLibraries(const PreferFoundLibraries&) = delete;
    PreferFoundLibraries& operator=(const PreferFoundLibraries&) = delete;
};

// The screen's dots per inch in this session: Wine 10, like Windows, reads the scale when the
// session starts, so scripts/test.sh runs the suites named *At144Dpi in a session of their own.
int ScreenDpi();

// The pixels of a rectangle of the screen, copied once.
class Capture {
public:
    explicit Capture(const RECT& onScreen);
    COLORREF at(int x, int y) const;  // relative to the rectangle's top-left
    int width() const { return width_; }
    int height() const { return height_; }
    bool operator==(const Capture& other) const { return pixels_ == other.pixels_; }

private:
    int width_, height_;
    std::vector<DWORD> pixels_;
};
RECT ClientRectOnScreen(HWND window);
// A rectangle of the screen once painted: Wine copies a window's drawing to the screen a
// little later, so shots are taken until two in a row agree.
Capture SettledCapture(const RECT& onScreen);

// The form's font, 8-point "MS Sans Serif", as the program makes it for dpi.
UniqueGdi<HFONT> FormFont(int dpi);

// The controls as the screen shows them (client: the client area, painted) for a program
// started at dpi: each label's and button's caption on one line in the form's 8-point
// "MS Sans Serif", and each field's sunken edge whole.
void ExpectControlsDrawnWhole(const App& app, const Capture& client, int dpi, int line);

// The background picture as the platform decodes it, straight from the executable.
class Jpeg {
public:
    explicit Jpeg(const std::wstring& exe);
    ~Jpeg() { SelectObject(dc_.get(), old_); }
    Jpeg(const Jpeg&) = delete;
    Jpeg& operator=(const Jpeg&) = delete;
    COLORREF at(int x, int y) const { return GetPixel(dc_.get(), x, y); }

private:
    UniqueGdi<HBITMAP> bitmap_;
    UniqueMemoryDc dc_;
    HGDIOBJ old_{};
};

// The X side of the test bed, under Wine only. RunX runs a shell command (X tools such as
// xwininfo or xdotool, or a script) on this display and returns what it printed.
std::string RunX(const std::string& command);
// A file's path as the Unix side sees it; empty when Wine cannot map it.
std::string UnixPath(const std::wstring& path);
// The X window of a top-level window, as "0x..." for the X tools.
std::string XWindowOf(HWND window);

// Writes text as UTF-16, replacing the file.
void WriteTextFile(const std::wstring& path, const std::wstring& text);
// A file of a few bytes, so that the Open dialog finds it.
inline void TouchFile(const std::wstring& path) { WriteTextFile(path, L"bin"); }

}  // namespace e2e

namespace e2e {

// Each test gets a clean settings key and a scratch folder holding the program and,
// unless it asks otherwise, the tool double beside it.
class AppTest : public testing::Test {
protected:
    void SetUp() override {
        DeleteSettings();
        scratch.CopyIn(L"Quorvane.exe");
        if (withTool) scratch.CopyIn(L"kx.exe");
    }
    void TearDown() override { DeleteSettings(); }

    bool withTool = true;
    ScratchFolder scratch;
};

}  // namespace e2e
