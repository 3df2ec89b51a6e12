// Measures Quorvane.exe on the same machine against two floors and prints the rows of a
// markdown table: start-up time, working set, click-to-tool latency and the modules loaded.
// The window floor (window_floor.exe) is the same window with only what any program showing it
// must do, in code of its own: its picture decoded and drawn, its seven controls, and at the
// click the tool started and the process ended; the bare window (bare_window.exe) is the same
// frame, empty.
// A benchmark, not a test: it marks each limit met or not and never fails on a figure.
//
//   bench_driver <folder with the programs and kx.exe> [start runs] [click runs]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "driver/DpiAware.h"
#include "driver/Driver.h"
#include "resource.h"

namespace {

using driver::kTimeoutMs;

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

struct StartSamples {
    std::vector<double> readyMs, workingSetKiB;
    int idleBeforeVisible = 0;
    double longestGapMs = 0;  // from input-idle to the window being visible
    int failed = 0;
    std::set<std::string> modules;
};

// One start, timed from just before the program's creation until its window is visible.
void MeasureStart(const std::wstring& exe, const std::wstring& folder, bool keep, StartSamples& s) {
    const LONGLONG start = Ticks();
    const driver::Program program(exe, folder);
    program.WaitForInputIdle();
    const double idleMs = Ms(Ticks() - start);
    // Looked for every 2 ms, so that the wait itself adds little to what is timed.
    HWND window = nullptr;
    const auto shown = [&] { return (window = program.TopWindow()) != nullptr; };
    const bool visibleAtIdle = shown();
    if (!visibleAtIdle) driver::WaitUntil(kTimeoutMs, shown, 2);
    const double readyMs = Ms(Ticks() - start);
    if (!window) {
        ++s.failed;
        return;
    }
    PROCESS_MEMORY_COUNTERS memory{};
    GetProcessMemoryInfo(program.process(), &memory, sizeof memory);
    if (keep) {
        s.readyMs.push_back(readyMs);
        s.workingSetKiB.push_back(memory.WorkingSetSize / 1024.0);
        if (!visibleAtIdle) {
            ++s.idleBeforeVisible;
            s.longestGapMs = std::max(s.longestGapMs, readyMs - idleMs);
        }
        if (s.modules.empty()) s.modules = program.Modules();
    }
    if (!PostMessageW(window, WM_CLOSE, 0, 0) || !program.WaitForExit()) ++s.failed;
}

struct ClickSamples {
    std::vector<double> toolStartedMs, exitMs;
    int failed = 0;
};

// Both programs are started as Explorer starts them, with no console: the tool, a console
// program, then gets a console of its own, made as it starts, for either of them alike. The
// tool double's record holds its QueryPerformanceCounter reading at its first instruction.
void MeasureClick(const std::wstring& scratch, const wchar_t* exe, bool keep, ClickSamples& s) {
    DeleteFileW((scratch + L"kx-record.txt").c_str());
    const driver::Program program(scratch + exe, scratch);
    HWND window = program.WaitForWindow();
    if (!window) {
        ++s.failed;
        return;
    }
    driver::SetText(GetDlgItem(window, IDC_BINFILE), L"C:\\img\\game.bin");
    driver::SetText(GetDlgItem(window, IDC_DEST), L"C:\\out\\new.bin");
    const LONGLONG click = Ticks();
    driver::Click(GetDlgItem(window, IDC_COMMAND3));
    const bool exited = program.WaitForExit();
    const LONGLONG exit = Ticks();
    driver::Record record;
    const LONGLONG started = driver::WaitForRecord(scratch, record)
                                 ? _wcstoi64(driver::RecordOne(record, L"started").c_str(), nullptr, 10)
                                 : 0;
    if (!exited || !started) {
        ++s.failed;
        return;
    }
    if (keep) {
        s.toolStartedMs.push_back(Ms(started - click));
        s.exitMs.push_back(Ms(exit - click));
    }
}

struct Clicks {
    ClickSamples quorvane, floor;
};

// The programs and the tool double copied to a folder of their own, as a user would have them.
Clicks MeasureClicks(const std::wstring& folder, int runs) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring scratch = temp + (L"quorvane-bench-" + std::to_wstring(GetCurrentProcessId()) + L"\\");
    CreateDirectoryW(scratch.c_str(), nullptr);
    const wchar_t* const programs[] = {L"Quorvane.exe", L"window_floor.exe", L"kx.exe"};
    Clicks clicks;
    bool copied = true;
    for (const wchar_t* name : programs)
        copied = copied && CopyFileW((folder + name).c_str(), (scratch + name).c_str(), FALSE);
    if (copied) {
        for (int run = 0; run <= runs; ++run) {  // run 0 warms up
            MeasureClick(scratch, programs[0], run > 0, clicks.quorvane);
            MeasureClick(scratch, programs[1], run > 0, clicks.floor);
            fputc('.', stderr);
        }
    }
    // The last tool double may still be on its way out, its file locked until then.
    for (const std::wstring name : {L"Quorvane.exe", L"window_floor.exe", L"kx.exe", L"kx-record.txt"}) {
        const std::wstring path = scratch + name;
        driver::WaitUntil(
            kTimeoutMs, [&] { return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND; });
    }
    RemoveDirectoryW(scratch.c_str());
    return clicks;
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

// Columns: measure, Quorvane, window floor, bare window, Quorvane / window floor,
// Quorvane / bare window, limit, met. image_rows.py prints the same columns.
void Row(const std::string& measure, const std::string& quorvane, const std::string& floor = "",
         const std::string& bare = "", const std::string& toFloor = "", const std::string& toBare = "",
         const std::string& limit = "", const std::string& met = "") {
    printf("| %s | %s | %s | %s | %s | %s | %s | %s |\n", measure.c_str(), quorvane.c_str(), floor.c_str(),
           bare.c_str(), toFloor.c_str(), toBare.c_str(), limit.c_str(), met.c_str());
}

std::string Ratio(double q, double reference) { return Fixed(q / reference, 2); }

enum class Judged { None, AgainstFloor, AgainstBare };

// A figure of all three programs (NAN where one has none), with both ratios and at most
// one of them judged.
void FiguresRow(const std::string& measure, double q, double f, double b, Judged judged = Judged::None,
                double limit = 0, int decimals = 1) {
    std::string limitText, met;
    if (judged != Judged::None) {
        const double ratio = q / (judged == Judged::AgainstFloor ? f : b);
        limitText = "<= " + Fixed(limit, 2) +
                    (judged == Judged::AgainstFloor ? " of the window floor" : " of the bare window");
        met = Verdict(!std::isnan(ratio), ratio <= limit);
    }
    Row(measure, Fixed(q, decimals), Fixed(f, decimals), std::isnan(b) ? "" : Fixed(b, decimals), Ratio(q, f),
        std::isnan(b) ? "" : Ratio(q, b), limitText, met);
}

std::string Counted(size_t measured, int failed) {
    return std::to_string(measured) + (failed ? " (" + std::to_string(failed) + " failed)" : "");
}

std::string IdleFirst(const StartSamples& s) {
    return std::to_string(s.idleBeforeVisible) + " of " + std::to_string(s.readyMs.size()) +
           (s.idleBeforeVisible ? ", up to " + Fixed(s.longestGapMs) + " ms" : "");
}

// The modules of one program that not all three load.
std::string OwnModules(const std::set<std::string>& own, const std::vector<std::string>& common) {
    std::vector<std::string> others;
    for (const std::string& m : own)
        if (std::find(common.begin(), common.end(), m) == common.end()) others.push_back(m);
    return Joined(others);
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
    const std::wstring quorvane = folder + L"Quorvane.exe", windowFloor = folder + L"window_floor.exe",
                       bare = folder + L"bare_window.exe";

    // Round-robin so that the programs see the same machine load; round 0 warms up.
    StartSamples q, f, b;
    fprintf(stderr, "start to ready, %d rounds: ", startRuns);
    for (int round = 0; round <= startRuns; ++round) {
        MeasureStart(quorvane, folder, round > 0, q);
        MeasureStart(windowFloor, folder, round > 0, f);
        MeasureStart(bare, folder, round > 0, b);
        fputc('.', stderr);
    }

    fprintf(stderr, "\nclick to tool started, %d runs: ", clickRuns);
    const Clicks click = MeasureClicks(folder, clickRuns);
    fputc('\n', stderr);

    Row("Measure", "Quorvane", "Window floor", "Bare window", "Quorvane / window floor",
        "Quorvane / bare window", "Limit", "Met");
    Row("---", "---", "---", "---", "---", "---", "---", "---");
    Row("Start runs measured (interleaved, after 1 warm-up round)", Counted(q.readyMs.size(), q.failed),
        Counted(f.readyMs.size(), f.failed), Counted(b.readyMs.size(), b.failed));
    FiguresRow("Start to ready, minimum (ms)", Minimum(q.readyMs), Minimum(f.readyMs), Minimum(b.readyMs));
    FiguresRow("Start to ready, median (ms)", Median(q.readyMs), Median(f.readyMs), Median(b.readyMs),
               Judged::AgainstFloor, 1.10);
    Row("Input-idle before the window was visible (runs)", IdleFirst(q), IdleFirst(f), IdleFirst(b));
    // Emulated, a process's working set holds the emulator's own memory too: shown, not judged.
    const wchar_t* way = _wgetenv(L"QUORVANE_I386_WAY");
    const bool emulated = way && wcsncmp(way, L"emulated", 8) == 0;
    const double qKiB = Median(q.workingSetKiB), fKiB = Median(f.workingSetKiB),
                 bKiB = Median(b.workingSetKiB);
    if (emulated) {
        Row("Working set once ready, median (KiB; emulated: the emulator's memory included)", Fixed(qKiB, 0),
            Fixed(fKiB, 0), Fixed(bKiB, 0), Ratio(qKiB, fKiB), Ratio(qKiB, bKiB),
            "<= 1.05 of the bare window, natively", "not judged here");
    } else {
        FiguresRow("Working set once ready, median (KiB)", qKiB, fKiB, bKiB, Judged::AgainstBare, 1.05, 0);
    }
    Row("Click runs measured (after 1 warm-up run)",
        Counted(click.quorvane.toolStartedMs.size(), click.quorvane.failed),
        Counted(click.floor.toolStartedMs.size(), click.floor.failed));
    FiguresRow("Click to tool started, median (ms)", Median(click.quorvane.toolStartedMs),
               Median(click.floor.toolStartedMs), NAN, Judged::AgainstFloor, 1.25);
    FiguresRow("Click to program exit, median (ms)", Median(click.quorvane.exitMs),
               Median(click.floor.exitMs), NAN);

    Row("Modules loaded once ready (count)", std::to_string(q.modules.size()),
        std::to_string(f.modules.size()), std::to_string(b.modules.size()));
    std::vector<std::string> all;
    for (const std::string& m : q.modules)
        if (f.modules.count(m) && b.modules.count(m)) all.push_back(m);
    Row("Modules loaded by this program and not by all three", OwnModules(q.modules, all),
        OwnModules(f.modules, all), OwnModules(b.modules, all));
    Row("Modules loaded by all three", Joined(all), "(same)", "(same)");
    return q.readyMs.empty() || f.readyMs.empty() || b.readyMs.empty() ||
                   click.quorvane.toolStartedMs.empty() || click.floor.toolStartedMs.empty()
               ? 1
               : 0;
}
