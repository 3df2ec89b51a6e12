#include "Driver.h"

#include <psapi.h>

#include <algorithm>

namespace driver {

namespace {

struct Search {
    DWORD pid;
    const wchar_t* windowClass;
    const wchar_t* caption;  // any, when empty
    HWND except;
    HWND found;
};

// The program's own windows first, so that no other process is asked anything; its text last,
// since that is a message the program must answer.
BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window) || window == search->except) return TRUE;
    wchar_t className[64] = {};
    if (search->windowClass &&
        (!GetClassNameW(window, className, 64) || wcscmp(className, search->windowClass) != 0))
        return TRUE;
    if (*search->caption && WindowTextOf(window) != search->caption) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

bool WaitUntil(DWORD timeoutMs, const std::function<bool()>& condition, DWORD pollMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() > deadline) return false;
        Sleep(pollMs);
    }
}

Program::Program(const std::wstring& exe, const std::wstring& folder, const StartOptions& how) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (how.show >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(how.show);
    }
    PROCESS_INFORMATION created{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, how.inheritHandles, DETACHED_PROCESS,
                        nullptr, folder.c_str(), &startup, &created)) {
        startError_ = GetLastError();
        return;
    }
    process_.reset(created.hProcess);
    thread_.reset(created.hThread);
    pid_ = created.dwProcessId;
}

Program::~Program() {
    if (Running()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), kTimeoutMs);
    }
}

bool Program::Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool Program::WaitForExit(DWORD timeoutMs) const {
    return process_ && WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
}

void Program::WaitForInputIdle(DWORD timeoutMs) const {
    if (process_) ::WaitForInputIdle(process_.get(), timeoutMs);
}

HWND Program::TopWindow(const wchar_t* windowClass, const std::wstring& caption, HWND except) const {
    Search search{pid_, windowClass, caption.c_str(), except, nullptr};
    if (process_) EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Program::WaitForWindow(const std::wstring& caption, DWORD timeoutMs) const {
    WaitForInputIdle(timeoutMs);
    HWND found = nullptr;
    WaitUntil(timeoutMs, [&] { return (found = TopWindow(nullptr, caption)) != nullptr; });
    return found;
}

std::set<std::string> Program::Modules() const {
    std::set<std::string> names;
    std::vector<HMODULE> modules(256);
    DWORD bytes = 0;
    if (!EnumProcessModules(process_.get(), modules.data(),
                            static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &bytes))
        return names;
    modules.resize(std::min<size_t>(modules.size(), bytes / sizeof(HMODULE)));
    for (HMODULE module : modules) {
        char name[MAX_PATH];
        const DWORD length = GetModuleBaseNameA(process_.get(), module, name, MAX_PATH);
        CharLowerBuffA(name, length);
        names.emplace(name, length);
    }
    return names;
}

std::wstring WindowTextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &length))
        return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, kTimeoutMs, &copied);
    text.resize(copied);
    return text;
}

void SetText(HWND window, const std::wstring& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                        kTimeoutMs, &result);
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void PostKey(HWND window, WORD vk) {
    const UINT scan = MapVirtualKeyW(vk, 0 /* MAPVK_VK_TO_VSC */);
    PostMessageW(window, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageW(window, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

void PostChar(HWND window, wchar_t c) { PostMessageW(window, WM_CHAR, c, 1); }

std::vector<std::pair<std::wstring, std::wstring>> ReadRecordLines(const std::wstring& path) {
    std::vector<std::pair<std::wstring, std::wstring>> lines;
    HANDLE opened =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return lines;
    const UniqueHandle file(opened);
    std::wstring text(GetFileSize(file.get(), nullptr) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = text.substr(start, end - start);
        const size_t eq = line.find(L'=');
        if (eq != std::wstring::npos) lines.emplace_back(line.substr(0, eq), line.substr(eq + 1));
        start = end + 1;
    }
    return lines;
}

bool WaitForRecord(const std::wstring& folder, Record& record, DWORD timeoutMs) {
    // Read until whole: the double's rename may hold the new name for a moment after it appears
    // (a sharing violation, seen in up to half the runs, emulated on a busy machine).
    const std::wstring path = folder + L"kx-record.txt";
    std::vector<std::pair<std::wstring, std::wstring>> lines;
    if (!WaitUntil(timeoutMs, [&] { return !(lines = ReadRecordLines(path)).empty(); })) return false;
    record = Record(lines.begin(), lines.end());
    return true;
}

std::wstring RecordOne(const Record& record, const std::wstring& name) {
    auto it = record.find(name);
    return it == record.end() ? L"<missing>" : it->second;
}

std::vector<std::wstring> RecordAll(const Record& record, const std::wstring& name) {
    std::vector<std::wstring> values;
    auto range = record.equal_range(name);
    for (auto it = range.first; it != range.second; ++it) values.push_back(it->second);
    return values;
}

}  // namespace driver
