#include "app/SystemLibrary.h"

#include <string>

namespace {

// Both calls below arrived with a loader update (Windows 8, and 7 or Vista updated): look
// them up rather than import them, so that the program still starts without it.
FARPROC FromKernel32(const char* name) {
    return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
}

}  // namespace

void RestrictLibrarySearch() {
    using SetDefaultFn = BOOL(WINAPI*)(DWORD);
    auto setDefault = reinterpret_cast<SetDefaultFn>(
        reinterpret_cast<void*>(FromKernel32("SetDefaultDllDirectories")));
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

UniqueModule LoadSystemLibrary(const wchar_t* name) {
    // A loader without the system-folder-only search refuses the flag as an invalid parameter.
    if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
        return UniqueModule(module);
    if (GetLastError() != ERROR_INVALID_PARAMETER) return {};

    // Then a full path into the system folder; the altered search looks for the library's own
    // dependencies in its folder first.
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    const std::wstring path = std::wstring(system, length) + L'\\' + name;
    return UniqueModule(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}
