// What the end-to-end and window-manager tests stand on: the real program run from a scratch
// folder through the driver (driver/Driver.h), with GoogleTest's checks on what must work for
// a test to go on; the program's settings, read and reset independently of it; the screen's
// pixels; and the X side of the test bed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/Unique.h"
#include "driver/Driver.h"
#include "resource.h"

namespace e2e {

using namespace driver;  // the driver's words are the tests' own

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

// How a program is started: by default as Explorer starts it, Quorvane.exe with no show mode.
struct Start {
    bool inheritHandles = false;  // the program gets this driver's inheritable handles
    int show = -1;                // a show mode, as a shortcut's "Run:" passes it
    std::wstring program = L"Quorvane.exe";
    std::wstring caption = kCaption;
};

// One run of a program (Quorvane.exe) from a scratch folder, with that folder as its
// current folder; a failure when it does not start or show its window.
class App {
public:
    explicit App(const std::wstring& folder, const Start& how = {});

    HWND window() const { return window_; }
    HWND control(int id) const { return GetDlgItem(window_, id); }
    const driver::Program& program() const { return program_; }

    void SetText(int id, const std::wstring& text) { driver::SetText(control(id), text); }
    std::wstring Text(int id) const { return WindowTextOf(control(id)); }
    void Click(int id) { driver::Click(control(id)); }
    void PostKey(int id, WORD vk) { driver::PostKey(control(id), vk); }
    void PostChar(int id, wchar_t c) { driver::PostChar(control(id), c); }

    bool WaitForExit(DWORD timeoutMs = kTimeoutMs) { return program_.WaitForExit(timeoutMs); }
    bool Running() const { return program_.Running(); }
    // A #32770 window of this process with this caption, shown; nullptr on timeout.
    HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs = kTimeoutMs) const;
    void CloseMessageBox(HWND box);
    // Posted input is handled in order: a round trip through the queue proves it was seen.
    void Settle();
    // Holds the program's only thread still, and lets it run on.
    void Freeze() { SuspendThread(program_.thread()); }
    void Thaw() { ResumeThread(program_.thread()); }

private:
    driver::Program program_;
    HWND window_{};
};

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
