#include "TestBed.h"

#include "driver/DpiAware.h"

#include <ole2.h>
#include <olectl.h>
#include <shellapi.h>

#include <cstdio>

namespace e2e {

namespace {

// Before main, and so before any test looks at a window.
[[maybe_unused]] const bool kPerMonitorAware = DeclarePerMonitorAwareness();

constexpr UINT kMarkerLimit = 0x1F2E3D;  // an edit-field limit the program never sets itself

void RemoveTree(const std::wstring& folder) {
    // SHFileOperation wants a double-NUL-terminated list.
    std::wstring from = folder.substr(0, folder.size() - 1) + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
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

App::App(const std::wstring& folder, const Start& how)
    : program_(folder + how.program, folder, {how.inheritHandles, how.show}) {
    if (!program_.started()) {
        ADD_FAILURE() << "the program did not start: error " << program_.startError();
        return;
    }
    window_ = program_.WaitForWindow(how.caption);
    if (!window_) ADD_FAILURE() << "the main window did not appear";
}

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

HWND App::WaitForDialog(const std::wstring& caption, DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(timeoutMs, [&] { return (found = program_.TopWindow(L"#32770", caption)) != nullptr; });
    return found;
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

void WriteTextFile(const std::wstring& path, const std::wstring& text) {
    HANDLE created =
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, created);
    const UniqueHandle file(created);
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
