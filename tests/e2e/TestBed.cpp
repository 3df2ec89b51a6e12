#include "Driver.h"
#include "DpiAware.h"

#include <ole2.h>
#include <olectl.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>

namespace e2e {

namespace {

// Before main, and so before any test looks at a window.
[[maybe_unused]] const bool kPerMonitorAware = DeclarePerMonitorAwareness();

constexpr UINT kMarkerLimit = 0x1F2E3D;  // an edit-field limit the program never sets itself

struct Search {
    DWORD pid;
    const wchar_t* windowClass;
    const wchar_t* caption;  // any, when empty
    HWND except;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (pid == search->pid && IsWindowVisible(window) && window != search->except &&
        (!search->windowClass || wcscmp(className, search->windowClass) == 0) &&
        (!*search->caption || WindowTextOf(window) == search->caption)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopWindow(DWORD pid, const wchar_t* windowClass, const std::wstring& caption,
                   HWND except = nullptr) {
    Search search{pid, windowClass, caption.c_str(), except, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void RemoveTree(const std::wstring& folder) {
    // SHFileOperation wants a double-NUL-terminated list.
    std::wstring from = folder.substr(0, folder.size() - 1) + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
}

UniqueHandle OpenFile(const std::wstring& path, DWORD access, DWORD disposition) {
    HANDLE file = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, disposition, 0, nullptr);
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

double RedShareOf(HWND icon) {
    RECT r;
    if (!icon || !GetWindowRect(icon, &r)) return 0;
    const Capture capture(r);
    int red = 0;
    for (int y = 0; y < capture.height(); ++y)
        for (int x = 0; x < capture.width(); ++x) {
            const COLORREF c = capture.at(x, y);
            if (GetRValue(c) > 150 && GetGValue(c) < 100 && GetBValue(c) < 100) ++red;
        }
    const int total = capture.width() * capture.height();
    return total ? static_cast<double>(red) / total : 0;
}

}  // namespace

Capture::Capture(const RECT& onScreen)
    : width_(onScreen.right - onScreen.left),
      height_(onScreen.bottom - onScreen.top),
      pixels_(static_cast<size_t>(width_) * height_) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    UniqueGdi<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDc memory(CreateCompatibleDC(nullptr));
    if (!bitmap || !memory) return;
    HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
    HDC screen = GetDC(nullptr);
    BitBlt(memory.get(), 0, 0, width_, height_, screen, onScreen.left, onScreen.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    GdiFlush();
    CopyMemory(pixels_.data(), bits, pixels_.size() * sizeof(DWORD));
    SelectObject(memory.get(), old);
}

COLORREF Capture::at(int x, int y) const {
    const DWORD bgr = pixels_[static_cast<size_t>(y) * width_ + x];
    return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
}

RECT ClientRectOnScreen(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

Capture SettledCapture(const RECT& onScreen) {
    Capture shot(onScreen);
    WaitUntil(kTimeoutMs, [&] {
        Capture again(onScreen);
        const bool stable = again == shot;
        shot = std::move(again);
        return stable;
    });
    return shot;
}

UniqueGdi<HFONT> FormFont(int dpi) {
    return UniqueGdi<HFONT>(CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                        DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif"));
}

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

Jpeg::Jpeg(const std::wstring& exe) {
    UniqueModule module(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    HRSRC info = FindResourceW(module.get(), MAKEINTRESOURCEW(IDR_BACKGROUND), MAKEINTRESOURCEW(10));
    const DWORD size = info ? SizeofResource(module.get(), info) : 0;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (size) CopyMemory(GlobalLock(memory), LockResource(LoadResource(module.get(), info)), size);
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    IPicture* picture = nullptr;
    OLE_HANDLE handle = 0;
    if (size && SUCCEEDED(CreateStreamOnHGlobal(memory, TRUE, &stream)) &&
        SUCCEEDED(OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                                 reinterpret_cast<void**>(&picture))) &&
        SUCCEEDED(picture->get_Handle(&handle)))
        bitmap_.reset(static_cast<HBITMAP>(
            CopyImage(reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handle)), IMAGE_BITMAP, 0, 0, 0)));
    if (picture) picture->Release();
    if (stream) stream->Release();
    EXPECT_TRUE(bitmap_) << "the picture resource did not decode";
    dc_.reset(CreateCompatibleDC(nullptr));
    old_ = SelectObject(dc_.get(), bitmap_.get());
}

bool WaitUntil(DWORD timeoutMs, const std::function<bool()>& condition) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() > deadline) return false;
        Sleep(10);
    }
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

std::wstring BuildFolder() {
    wchar_t self[MAX_PATH];
    std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring ProgramPath() {
    wchar_t relative[MAX_PATH], full[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"QUORVANE_EXE", relative, MAX_PATH);
    if (length == 0) return BuildFolder() + L"Quorvane.exe";
    // A name too long gives an empty path: the tests fail rather than test the default build.
    const DWORD fullLength =
        length < MAX_PATH ? GetFullPathNameW((BuildFolder() + relative).c_str(), MAX_PATH, full, nullptr) : 0;
    return std::wstring(full, fullLength < MAX_PATH ? fullLength : 0);
}

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    path_ = std::wstring(temp) + L"quorvane-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

std::wstring ScratchFolder::MakeDir(const std::wstring& relative) {
    std::wstring full = path_;
    size_t start = 0;
    while (start < relative.size()) {
        size_t end = relative.find(L'\\', start);
        if (end == std::wstring::npos) end = relative.size();
        full += relative.substr(start, end - start) + L"\\";
        CreateDirectoryW(full.c_str(), nullptr);
        start = end + 1;
    }
    return full;
}

void ScratchFolder::CopyIn(const std::wstring& fileInBuild, const std::wstring& as) {
    const std::wstring target = path_ + (as.empty() ? fileInBuild : as);
    const std::wstring source = fileInBuild == L"Quorvane.exe" ? ProgramPath() : BuildFolder() + fileInBuild;
    ASSERT_TRUE(CopyFileW(source.c_str(), target.c_str(), FALSE))
        << "copying " << testing::internal::String::ShowWideCString(fileInBuild.c_str());
}

std::vector<std::wstring> RecordAll(const Record& record, const std::wstring& name) {
    std::vector<std::wstring> values;
    auto range = record.equal_range(name);
    for (auto it = range.first; it != range.second; ++it) values.push_back(it->second);
    return values;
}

std::wstring RecordOne(const Record& record, const std::wstring& name) {
    auto it = record.find(name);
    return it == record.end() ? L"<missing>" : it->second;
}

std::vector<std::pair<std::wstring, std::wstring>> ReadRecordLines(const std::wstring& path) {
    std::vector<std::pair<std::wstring, std::wstring>> lines;
    UniqueHandle file = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
    if (!file) return lines;
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
    // Read until whole: the double's rename may still hold the file for a moment.
    const std::wstring path = folder + L"kx-record.txt";
    std::vector<std::pair<std::wstring, std::wstring>> lines;
    if (!WaitUntil(timeoutMs, [&] { return !(lines = ReadRecordLines(path)).empty(); })) return false;
    record = Record(lines.begin(), lines.end());
    return true;
}

App::App(const std::wstring& folder, const Start& how) {
    std::wstring commandLine = L"\"" + folder + how.program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (how.show >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(how.show);
    }
    PROCESS_INFORMATION created{};
    // Without a console, as Explorer starts it: Wine would hand this driver's on to the program,
    // and through it to a console tool that should get one of its own.
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, how.inheritHandles, DETACHED_PROCESS,
                        nullptr, folder.c_str(), &startup, &created)) {
        ADD_FAILURE() << "the program did not start: error " << GetLastError();
        return;
    }
    process_.reset(created.hProcess);
    thread_.reset(created.hThread);
    pid_ = created.dwProcessId;
    WaitForInputIdle(process_.get(), kTimeoutMs);
    // The window may show a little after the process first goes idle.
    WaitUntil(kTimeoutMs, [&] { return (window_ = FindTopWindow(pid_, nullptr, how.caption)) != nullptr; });
    if (!window_) ADD_FAILURE() << "the main window did not appear";
}

App::~App() {
    if (Running()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), kTimeoutMs);
    }
}

bool App::Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool App::WaitForExit(DWORD timeoutMs) {
    return process_ && WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
}

void App::SetText(int id, const std::wstring& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                        kTimeoutMs, &result);
}

std::wstring App::Text(int id) const { return WindowTextOf(control(id)); }

void App::Click(int id) { PostMessageW(control(id), BM_CLICK, 0, 0); }

void App::PostKey(int id, WORD vk) {
    const UINT scan = MapVirtualKeyW(vk, 0 /* MAPVK_VK_TO_VSC */);
    PostMessageW(control(id), WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageW(control(id), WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

void App::PostChar(int id, wchar_t c) { PostMessageW(control(id), WM_CHAR, c, 1); }

void App::Settle() {
    // Twice: a key handled in the first round may post its character for the second. The
    // marker is a field's limit, put back as it was, so that the program's own still shows.
    HWND field = control(IDC_BINFILE);
    const auto limit = [&] {
        DWORD_PTR value = 0;
        SendMessageTimeoutW(field, EM_GETLIMITTEXT, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &value);
        return value;
    };
    const DWORD_PTR own = limit();
    for (int round = 0; round < 2; ++round) {
        PostMessageW(field, EM_SETLIMITTEXT, kMarkerLimit, 0);
        EXPECT_TRUE(WaitUntil(kTimeoutMs, [&] { return limit() == kMarkerLimit; }))
            << "the program did not handle its posted input";
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(field, EM_SETLIMITTEXT, own, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &ignored);
    }
}

void App::Paste(int id, const std::wstring& text) {
    // The clipboard needs an owner window to take data.
    HWND owner = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    CopyMemory(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    const bool taken = OpenClipboard(owner) && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
    EXPECT_TRUE(taken) << "the clipboard did not take the text";
    if (!taken) GlobalFree(memory);  // taken, it belongs to the clipboard
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control(id), EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, kTimeoutMs, &ignored);
    SendMessageTimeoutW(control(id), WM_PASTE, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &ignored);
    DestroyWindow(owner);
}

bool App::HasLoaded(const wchar_t* module) const {
    HMODULE modules[256];
    DWORD bytes = 0;
    EnumProcessModules(process_.get(), modules, sizeof modules, &bytes);
    for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < std::size(modules); ++i) {
        wchar_t name[MAX_PATH];
        if (GetModuleBaseNameW(process_.get(), modules[i], name, MAX_PATH) && _wcsicmp(name, module) == 0)
            return true;
    }
    return false;
}

void App::SendDpiChanged(UINT dpi, const RECT& suggested) {
    void* remote = VirtualAllocEx(process_.get(), nullptr, sizeof suggested, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_TRUE(remote && WriteProcessMemory(process_.get(), remote, &suggested, sizeof suggested, nullptr));
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(SendMessageTimeoutW(window_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                                    reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, kTimeoutMs,
                                    &ignored));
    VirtualFreeEx(process_.get(), remote, 0, MEM_RELEASE);
}

SIZE OuterSize(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

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

HCURSOR PointerSetBy(HWND window) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                        MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), SMTO_ABORTIFHUNG, kTimeoutMs, &ignored);
    CURSORINFO info{};
    info.cbSize = sizeof info;
    GetCursorInfo(&info);
    return info.hCursor;
}

HWND App::WaitForDialog(const std::wstring& caption, DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(timeoutMs, [&] { return (found = FindTopWindow(pid_, L"#32770", caption)) != nullptr; });
    return found;
}

HWND App::WaitForOtherWindow(DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(timeoutMs, [&] { return (found = FindTopWindow(pid_, nullptr, L"", window_)) != nullptr; });
    return found;
}

MessageBoxSeen App::ReadMessageBox(HWND box) const {
    MessageBoxSeen seen;
    seen.box = box;
    seen.text = WindowTextOf(GetDlgItem(box, 0xFFFF));
    seen.owner = GetWindow(box, GW_OWNER);
    seen.ownerDisabled = !IsWindowEnabled(window_);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[32] = {};
        GetClassNameW(child, className, 32);
        if (_wcsicmp(className, L"Button") == 0 && IsWindowVisible(child)) {
            ++seen.buttons;
            if (GetDlgCtrlID(child) == IDOK) seen.okButton = true;
        }
    }
    // The box may be found before its icon is painted: look until something red shows.
    HWND icon = GetDlgItem(box, 0x440);
    WaitUntil(2000, [&] { return (seen.redShare = RedShareOf(icon)) > 0; });
    return seen;
}

void App::CloseMessageBox(HWND box) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil(kTimeoutMs, [&] { return !IsWindow(box); })) << "the message box stayed";
}

void DeleteSettings() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSettingsKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSettingsKey);
}

RegValue ReadSetting(const std::wstring& name) {
    RegValue value;
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return value;
    value.present = true;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
    value.text.assign(data.data(), size / sizeof(wchar_t));
    if (!value.text.empty() && value.text.back() == L'\0') value.text.pop_back();
    return value;
}

void WriteSetting(const std::wstring& name, const std::wstring& text) {
    UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, kSettingsKey, key.put()));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
}

namespace {
constexpr wchar_t kAppOverrides[] = L"Software\\Wine\\AppDefaults\\Quorvane.exe\\DllOverrides";
}

PreferFoundLibraries::PreferFoundLibraries(std::initializer_list<const wchar_t*> names) {
    UniqueHKey key;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, kAppOverrides, key.put()));
    const wchar_t order[] = L"native,builtin";
    for (const wchar_t* name : names)
        RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
}

PreferFoundLibraries::~PreferFoundLibraries() { RegDeleteKeyW(HKEY_CURRENT_USER, kAppOverrides); }

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

void WriteTextFile(const std::wstring& path, const std::wstring& text) {
    UniqueHandle file = OpenFile(path, GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_TRUE(file);
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
}

std::string UnixPath(const std::wstring& path) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    static const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!unixName) {
        ADD_FAILURE() << "the X side is there under Wine only";
        return {};
    }
    char* name = unixName(path.c_str());
    const std::string converted = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return converted;
}

std::string RunX(const std::string& command) {
    // Wine starts a Unix program but hands back neither its process nor its output, so the
    // shell writes the output to a file and renames it once the command is done.
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring file = std::wstring(temp) + L"quorvane-x-" + std::to_wstring(GetCurrentProcessId()) +
                              L"-" + std::to_wstring(++counter) + L".txt";
    const std::string out = UnixPath(file);
    if (out.empty()) return {};

    const std::string line =
        "Z:\\bin\\sh -c \"(" + command + ") >'" + out + ".part' 2>&1; mv '" + out + ".part' '" + out + "'\"";
    std::wstring wideLine(line.begin(), line.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    if (!CreateProcessW(nullptr, wideLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &created)) {
        ADD_FAILURE() << "the shell did not start: error " << GetLastError();
        return {};
    }
    // Nothing to close: for a Unix program Wine fills in no process and, as its thread, a
    // pseudo-handle that CloseHandle would take for this process's own output.
    if (!WaitUntil(kTimeoutMs, [&] { return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; })) {
        ADD_FAILURE() << "no answer from: " << command;
        return {};
    }
    std::string text;
    if (FILE* f = _wfopen(file.c_str(), L"rb")) {
        char chunk[512];
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, n);
        fclose(f);
    }
    DeleteFileW(file.c_str());
    return text;
}

// Wine keeps the X window of each top-level window in a window property.
std::string XWindowOf(HWND window) {
    char id[24];
    snprintf(
        id, sizeof id, "0x%lx",
        static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(GetPropW(window, L"__wine_x11_whole_window"))));
    return id;
}

}  // namespace e2e
