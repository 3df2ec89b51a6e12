// Measures Quorvane.exe against a bare window on the same machine and prints the rows of a
// markdown table: start-up time, working set, click-to-tool latency and the modules loaded.
// A benchmark, not a test: it marks each limit met or not and never fails on a figure.
//
//   bench_driver <folder with Quorvane.exe, bare_window.exe, kx.exe> [start runs] [click runs]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "DpiAware.h"
#include "common/Unique.h"
#include "resource.h"

namespace {

constexpr DWORD kTimeoutMs = 10000;

LONGLONG Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Ms(LONGLONG ticks) {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return frequency.QuadPart / 1000.0;
    }();
    return ticks / ticksPerMs;
}

// Polls every ~2 ms so that the wait itself adds little to what is timed.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() > deadline) return false;
        Sleep(2);
    }
}

struct WindowSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchVisible(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND VisibleTopWindow(DWORD pid) {
    WindowSearch search{pid, nullptr};
    EnumWindows(MatchVisible, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

UniqueHandle OpenForReading(const std::wstring& path) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// One start of a windowed program, timed from just before its creation until its window
// is visible and it waits for input. Ended by force if still running when dropped.
class Program {
public:
    Program(const std::wstring& exe, const std::wstring& folder) {
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION created{};
        const LONGLONG start = Ticks();
        // Without a console, as Explorer starts it: Wine would hand this driver's console on
        // to the program, and through it to the tool, which then opens no console of its own.
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                            nullptr, folder.c_str(), &startup, &created))
            return;
        process_.reset(created.hProcess);
        UniqueHandle thread(created.hThread);
        pid_ = created.dwProcessId;
        WaitForInputIdle(process_.get(), kTimeoutMs);
        idleMs_ = Ms(Ticks() - start);
        window_ = VisibleTopWindow(pid_);
        visibleAtIdle_ = window_ != nullptr;
        if (window_ || WaitUntil([&] { return (window_ = VisibleTopWindow(pid_)) != nullptr; }))
            readyMs_ = Ms(Ticks() - start);
    }
    ~Program() {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 1);
            WaitForSingleObject(process_.get(), kTimeoutMs);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool ready() const { return window_ != nullptr; }
    double readyMs() const { return readyMs_; }
    double idleMs() const { return idleMs_; }
    bool visibleAtIdle() const { return visibleAtIdle_; }

    SIZE_T WorkingSet() const {
        PROCESS_MEMORY_COUNTERS counters{};
        UniqueHandle process = Open();
        return process && GetProcessMemoryInfo(process.get(), &counters, sizeof counters)
                   ? counters.WorkingSetSize
                   : 0;
    }

    std::set<std::string> Modules() const {
        std::set<std::string> names;
        UniqueHandle process = Open();
        std::vector<HMODULE> modules(256);
        DWORD needed = 0;
        if (!process || !EnumProcessModules(process.get(), modules.data(),
                                            static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed))
            return names;
        modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
        for (HMODULE module : modules) {
            char name[MAX_PATH];
            const DWORD length = GetModuleBaseNameA(process.get(), module, name, MAX_PATH);
            CharLowerBuffA(name, length);
            names.emplace(name, length);
        }
        return names;
    }

    void SetText(int id, const wchar_t* text) const {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(GetDlgItem(window_, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, kTimeoutMs, &result);
    }
    void Click(int id) const { PostMessageW(GetDlgItem(window_, id), BM_CLICK, 0, 0); }
    bool WaitForExit() const { return WaitForSingleObject(process_.get(), kTimeoutMs) == WAIT_OBJECT_0; }
    bool Close() const { return PostMessageW(window_, WM_CLOSE, 0, 0) && WaitForExit(); }

private:
    UniqueHandle Open() const {
        return UniqueHandle(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid_));
    }

    UniqueHandle process_;
    DWORD pid_ = 0;
    HWND window_ = nullptr;
    double idleMs_ = 0, readyMs_ = 0;
    bool visibleAtIdle_ = false;
};

struct StartSamples {
    std::vector<double> readyMs, workingSetKiB;
    int idleBeforeVisible = 0;
    double longestGapMs = 0;  // from input-idle to the window being visible
    int failed = 0;
    std::set<std::string> modules;
};

void MeasureStart(const std::wstring& exe, const std::wstring& folder, bool keep, StartSamples& s) {
    Program program(exe, folder);
    if (!program.ready()) {
        ++s.failed;
        return;
    }
    const SIZE_T workingSet = program.WorkingSet();
    if (keep) {
        s.readyMs.push_back(program.readyMs());
        s.workingSetKiB.push_back(workingSet / 1024.0);
        if (!program.visibleAtIdle()) {
            ++s.idleBeforeVisible;
            s.longestGapMs = std::max(s.longestGapMs, program.readyMs() - program.idleMs());
        }
        if (s.modules.empty()) s.modules = program.Modules();
    }
    if (!program.Close()) ++s.failed;
}

struct ClickSamples {
    std::vector<double> toolStartedMs, exitMs;
    std::vector<double> bareLaunchMs;  // the floor: the tool started straight from here
    int failed = 0;
};

// The tool double's QueryPerformanceCounter reading at its first instruction; 0 if none.
// Read until it opens: the double's rename may hold the new name for a moment after it
// appears (a sharing violation, seen in up to half the runs, emulated on a busy machine).
LONGLONG ToolStartedTicks(const std::wstring& record) {
    LONGLONG started = 0;
    WaitUntil([&] {
        UniqueHandle file = OpenForReading(record);
        wchar_t text[512] = {};
        DWORD read = 0;
        if (file) ReadFile(file.get(), text, sizeof text - sizeof(wchar_t), &read, nullptr);
        const wchar_t* value = wcsstr(text, L"started=");
        return (started = value ? _wcstoi64(value + 8, nullptr, 10) : 0) != 0;
    });
    return started;
}

void MeasureClick(const std::wstring& scratch, bool keep, ClickSamples& s) {
    const std::wstring record = scratch + L"kx-record.txt";
    DeleteFileW(record.c_str());
    Program program(scratch + L"Quorvane.exe", scratch);
    if (!program.ready()) {
        ++s.failed;
        return;
    }
    program.SetText(IDC_BINFILE, L"C:\\img\\game.bin");
    program.SetText(IDC_DEST, L"C:\\out\\new.bin");
    const LONGLONG click = Ticks();
    program.Click(IDC_COMMAND3);
    const bool exited = program.WaitForExit();
    const LONGLONG exit = Ticks();
    const LONGLONG started = ToolStartedTicks(record);
    if (!exited || !started) {
        ++s.failed;
        return;
    }
    if (keep) {
        s.toolStartedMs.push_back(Ms(started - click));
        s.exitMs.push_back(Ms(exit - click));
    }
}

// The same command line started straight from this driver, as the platform's floor for
// "click to tool started": what any program pays for creating the tool's process. The tool
// gets a console of its own here too, as it does when a windowed program starts it.
void MeasureBareLaunch(const std::wstring& scratch, bool keep, ClickSamples& s) {
    const std::wstring record = scratch + L"kx-record.txt";
    DeleteFileW(record.c_str());
    std::wstring commandLine = L"kx.exe C:\\img\\game.bin C:\\out\\new.bin";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION created{};
    const std::wstring exe = scratch + L"kx.exe";
    const LONGLONG start = Ticks();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                        scratch.c_str(), &startup, &created)) {
        ++s.failed;
        return;
    }
    UniqueHandle process(created.hProcess), thread(created.hThread);
    const LONGLONG started = ToolStartedTicks(record);
    WaitForSingleObject(process.get(), kTimeoutMs);
    if (!started)
        ++s.failed;
    else if (keep)
        s.bareLaunchMs.push_back(Ms(started - start));
}

// Quorvane and the tool double copied to a folder of their own, as a user would have them.
ClickSamples MeasureClicks(const std::wstring& folder, int runs) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring scratch = temp + (L"quorvane-bench-" + std::to_wstring(GetCurrentProcessId()) + L"\\");
    CreateDirectoryW(scratch.c_str(), nullptr);
    const wchar_t* const files[] = {L"Quorvane.exe", L"kx.exe", L"kx-record.txt"};
    ClickSamples samples;
    if (CopyFileW((folder + files[0]).c_str(), (scratch + files[0]).c_str(), FALSE) &&
        CopyFileW((folder + files[1]).c_str(), (scratch + files[1]).c_str(), FALSE)) {
        for (int run = 0; run <= runs; ++run) {  // run 0 warms up
            MeasureClick(scratch, run > 0, samples);
            MeasureBareLaunch(scratch, run > 0, samples);
            fputc('.', stderr);
        }
    }
    // The last tool double may still be on its way out, its file locked until then.
    for (const wchar_t* name : files) {
        const std::wstring path = scratch + name;
        WaitUntil([&] { return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND; });
    }
    RemoveDirectoryW(scratch.c_str());
    return samples;
}

double Median(std::vector<double> v) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Minimum(const std::vector<double>& v) {
    return v.empty() ? NAN : *std::min_element(v.begin(), v.end());
}

std::string Fixed(double value, int decimals = 1) {
    if (std::isnan(value)) return "n/a";
    char text[32];
    snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
    return out.empty() ? "none" : out;
}

std::string Verdict(bool measured, bool met) {
    return !measured ? "not measured" : met ? "met" : "**not met**";
}

void Row(const std::string& measure, const std::string& quorvane, const std::string& bare,
         const std::string& ratio = "", const std::string& limit = "", const std::string& met = "") {
    printf("| %s | %s | %s | %s | %s | %s |\n", measure.c_str(), quorvane.c_str(), bare.c_str(),
           ratio.c_str(), limit.c_str(), met.c_str());
}

void RatioRow(const std::string& measure, double q, double b, double limit, int decimals = 1) {
    const double ratio = q / b;
    Row(measure, Fixed(q, decimals), Fixed(b, decimals), Fixed(ratio, 2), "<= " + Fixed(limit, 2),
        Verdict(!std::isnan(ratio), ratio <= limit));
}

std::string Counted(size_t measured, int failed) {
    return std::to_string(measured) + (failed ? " (" + std::to_string(failed) + " failed)" : "");
}

std::string IdleFirst(const StartSamples& s) {
    return std::to_string(s.idleBeforeVisible) + " of " + std::to_string(s.readyMs.size()) +
           (s.idleBeforeVisible ? ", up to " + Fixed(s.longestGapMs) + " ms" : "");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    DeclarePerMonitorAwareness();
    if (argc < 2) {
        fprintf(stderr, "usage: bench_driver <folder of the executables> [start runs] [click runs]\n");
        return 2;
    }
    std::wstring folder = argv[1];
    if (folder.back() != L'\\') folder += L'\\';
    const int startRuns = argc > 2 ? std::max(1, _wtoi(argv[2])) : 45;
    const int clickRuns = argc > 3 ? std::max(1, _wtoi(argv[3])) : 15;
    const std::wstring quorvane = folder + L"Quorvane.exe", bare = folder + L"bare_window.exe";

    // Round-robin so that both programs see the same machine load; round 0 warms up.
    StartSamples q, b;
    fprintf(stderr, "start to ready, %d rounds: ", startRuns);
    for (int round = 0; round <= startRuns; ++round) {
        MeasureStart(quorvane, folder, round > 0, q);
        MeasureStart(bare, folder, round > 0, b);
        fputc('.', stderr);
    }

    fprintf(stderr, "\nclick to tool started, %d runs: ", clickRuns);
    const ClickSamples click = MeasureClicks(folder, clickRuns);
    fputc('\n', stderr);

    Row("Measure", "Quorvane", "Bare window (click: the floor)", "Ratio", "Limit", "Met");
    Row("---", "---", "---", "---", "---", "---");
    Row("Start runs measured (interleaved, after 1 warm-up round)", Counted(q.readyMs.size(), q.failed),
        Counted(b.readyMs.size(), b.failed));
    RatioRow("Start to ready, minimum (ms)", Minimum(q.readyMs), Minimum(b.readyMs), 1.30);
    RatioRow("Start to ready, median (ms)", Median(q.readyMs), Median(b.readyMs), 1.25);
    Row("Input-idle before the window was visible (runs)", IdleFirst(q), IdleFirst(b));
    // Emulated, a process's working set holds the emulator's own memory too: shown, not judged.
    const wchar_t* way = _wgetenv(L"QUORVANE_I386_WAY");
    if (way && wcsncmp(way, L"emulated", 8) == 0) {
        const double qKiB = Median(q.workingSetKiB), bKiB = Median(b.workingSetKiB);
        Row("Working set once ready, median (KiB; emulated: the emulator's memory included)", Fixed(qKiB, 0),
            Fixed(bKiB, 0), Fixed(qKiB / bKiB, 2), "<= 1.05 natively", "not judged here");
    } else {
        RatioRow("Working set once ready, median (KiB)", Median(q.workingSetKiB), Median(b.workingSetKiB),
                 1.05, 0);
    }
    Row("Click runs measured (after 1 warm-up run)", Counted(click.toolStartedMs.size(), click.failed), "");
    RatioRow("Click to tool started, median (ms); against the tool started straight from the benchmark",
             Median(click.toolStartedMs), Median(click.bareLaunchMs), 2.0);
    Row("Click to front-end exit, median (ms)", Fixed(Median(click.exitMs)), "");

    std::vector<std::string> both, onlyQ, onlyB;
    for (const std::string& m : q.modules) (b.modules.count(m) ? both : onlyQ).push_back(m);
    for (const std::string& m : b.modules)
        if (!q.modules.count(m)) onlyB.push_back(m);
    Row("Modules loaded once ready (count)", std::to_string(q.modules.size()),
        std::to_string(b.modules.size()));
    Row("Modules loaded by this program only", Joined(onlyQ), Joined(onlyB));
    Row("Modules loaded by both", Joined(both), "(same)");
    return q.readyMs.empty() || b.readyMs.empty() || click.toolStartedMs.empty() ? 1 : 0;
}
