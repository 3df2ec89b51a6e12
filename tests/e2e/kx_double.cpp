// Stands in for the tool in the end-to-end tests: a console program, as the tool is, that
// records how it was started, then exits.
// The record goes next to the executable as UTF-16 lines "name=value", written whole
// (to a temporary name, then renamed) so that a waiting reader never sees half of it.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {
LARGE_INTEGER started;
}

// The benchmark times the launch by the moment the tool first runs code of its own: with
// mingw-w64 that is this entry point, ahead of the C runtime's start-up (whose entry keeps
// its ANSI name in the wide start-up code too); elsewhere the start of wmain.
#ifdef __MINGW32__
extern "C" int mainCRTStartup();
extern "C" int KxEntry() {
    QueryPerformanceCounter(&started);
    return mainCRTStartup();
}
#endif

int wmain() {
    if (!started.QuadPart) QueryPerformanceCounter(&started);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);

    std::wstring record = L"started=" + std::to_wstring(started.QuadPart) + L"\n";
    record += L"cmdline=" + std::wstring(GetCommandLineW()) + L"\n";
    record += L"flags=" + std::to_wstring(startup.dwFlags) + L"\n";
    record += L"show=" + std::to_wstring(startup.wShowWindow) + L"\n";
    // A user watches the tool's console: a window of its own, shown (user32 loaded now, as shell32 is).
    using VisibleFn = BOOL(WINAPI*)(HWND);
    const auto visible = reinterpret_cast<VisibleFn>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"user32.dll"), "IsWindowVisible")));
    HWND window = GetConsoleWindow();
    const wchar_t* console = !window ? L"none" : visible && visible(window) ? L"shown" : L"hidden";
    record += L"console=" + std::wstring(console) + L"\n";

    // The shell's parser is loaded only now: a static import would load it before the
    // first instruction, and the benchmark would time the double instead of the launch.
    using ParseFn = LPWSTR*(WINAPI*)(LPCWSTR, int*);
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    auto parse =
        reinterpret_cast<ParseFn>(reinterpret_cast<void*>(GetProcAddress(shell, "CommandLineToArgvW")));
    int count = 0;
    if (LPWSTR* args = parse ? parse(GetCommandLineW(), &count) : nullptr) {
        record += L"shellargc=" + std::to_wstring(count) + L"\n";
        for (int i = 0; i < count; ++i) record += L"shellarg=" + std::wstring(args[i]) + L"\n";
        LocalFree(args);
    }
    // A handle value the test holds open and inheritable: what, if anything, is there for us.
    if (const wchar_t* probe = _wgetenv(L"KX_PROBE_HANDLE")) {
        wchar_t path[MAX_PATH] = L"<none>";
        HANDLE handle = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(_wtoi(probe)));
        GetFinalPathNameByHandleW(handle, path, MAX_PATH, 0);
        record += L"probe=" + std::wstring(path) + L"\n";
    }
    record += L"crtargc=" + std::to_wstring(__argc) + L"\n";
    for (int i = 0; i < __argc; ++i) record += L"crtarg=" + std::wstring(__wargv[i]) + L"\n";

    wchar_t self[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self, length);
    folder.resize(folder.find_last_of(L'\\') + 1);
    const std::wstring partial = folder + L"kx-record.tmp";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(partial.c_str(), (folder + L"kx-record.txt").c_str(), MOVEFILE_REPLACE_EXISTING);
    return 0;
}
