// Drives a Windows program from another process, as a user's desktop and a user would: starts
// it as Explorer does, finds its windows, sets and reads their text, clicks, presses keys,
// lists what it has loaded, and reads what the tool double recorded of its own start. Every
// wait polls for an observable effect up to a deadline; nothing sleeps a fixed time. It checks
// nothing itself: the end-to-end and window-manager tests wrap it in their assertions, and the
// benchmark times it.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/Unique.h"

namespace driver {

constexpr DWORD kTimeoutMs = 10000;

// True once condition holds, looked at every pollMs; false when timeoutMs passes first.
bool WaitUntil(DWORD timeoutMs, const std::function<bool()>& condition, DWORD pollMs = 10);

struct StartOptions {
    bool inheritHandles = false;  // the program gets this driver's inheritable handles
    int show = -1;                // a show mode, as a shortcut's "Run:" passes it; none by default
};

// One run of a program, started as Explorer starts it: without a console, since Wine would
// hand this driver's console on to the program, and through it to a console tool that should
// get one of its own. Ended by force if still running when dropped.
class Program {
public:
    // exe: a full path; folder: the program's current folder.
    Program(const std::wstring& exe, const std::wstring& folder, const StartOptions& how = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return static_cast<bool>(process_); }
    DWORD startError() const { return startError_; }  // CreateProcessW's, when not started
    HANDLE process() const { return process_.get(); }
    HANDLE thread() const { return thread_.get(); }

    bool Running() const;
    bool WaitForExit(DWORD timeoutMs = kTimeoutMs) const;
    void WaitForInputIdle(DWORD timeoutMs = kTimeoutMs) const;
    // A shown top-level window of this program, of the class given (any when null) and with the
    // caption given (any when empty), other than except; nullptr while there is none.
    HWND TopWindow(const wchar_t* windowClass = nullptr, const std::wstring& caption = L"",
                   HWND except = nullptr) const;
    // Its window with that caption once it has gone idle and shown it: the window may show up to
    // half a second after the process first goes idle. nullptr on timeout.
    HWND WaitForWindow(const std::wstring& caption = L"", DWORD timeoutMs = kTimeoutMs) const;
    // The base names of the modules loaded in it, in lower case.
    std::set<std::string> Modules() const;

private:
    UniqueHandle process_, thread_;
    DWORD pid_ = 0, startError_ = 0;
};

// A window's text, asked across processes; "<no answer>" from a program that does not answer.
std::wstring WindowTextOf(HWND window);
void SetText(HWND window, const std::wstring& text);
// Posted: a modal box that the click opens must not block the driver.
void Click(HWND button);
// A key pressed and let go (with its scan code), or a character, posted through the program's
// own message loop.
void PostKey(HWND window, WORD vk);
void PostChar(HWND window, wchar_t c);

// The tool double's record: each "name=value" line, names repeated in order.
using Record = std::multimap<std::wstring, std::wstring>;
// The "name=value" lines of a UTF-16 file; none when it cannot be read.
std::vector<std::pair<std::wstring, std::wstring>> ReadRecordLines(const std::wstring& path);
// Waits for the tool double to leave its record in folder; false on timeout.
bool WaitForRecord(const std::wstring& folder, Record& record, DWORD timeoutMs = kTimeoutMs);
std::wstring RecordOne(const Record& record, const std::wstring& name);  // "<missing>" when absent
std::vector<std::wstring> RecordAll(const Record& record, const std::wstring& name);

}  // namespace driver
