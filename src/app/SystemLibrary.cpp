#include "app/SystemLibrary.h"

#include <string>

void RestrictLibrarySearch() {
    // Arrived with a loader update (Windows 8, and 7 or Vista updated): looked up rather than
    // imported, so that the program still starts without it.
    using SetDefaultFn = BOOL(WINAPI*)(DWORD);
    auto setDefault =
        LibraryFunction<SetDefaultFn>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
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
