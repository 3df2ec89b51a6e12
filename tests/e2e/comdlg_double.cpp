// Stands in for the platform's file dialogs (comdlg32.dll beside the program, loaded
// when Wine is told to prefer it): records what the program hands to each dialog, then
// answers with the name in dialog-answer.txt, or cancels when there is none.
#include <windows.h>
#include <commdlg.h>

#include <string>

namespace {

std::wstring Folder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Folder), &self);
    wchar_t path[MAX_PATH];
    std::wstring folder(path, GetModuleFileNameW(self, path, MAX_PATH));
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring OrNone(const wchar_t* text) { return text ? std::wstring(text) : L"<null>"; }

// The filter's NUL-separated pairs, up to the empty string that ends them, joined by "|".
std::wstring FilterText(const wchar_t* filter) {
    if (!filter) return L"<null>";
    std::wstring joined;
    for (const wchar_t* part = filter; *part; part += wcslen(part) + 1)
        joined += (joined.empty() ? L"" : L"|") + std::wstring(part);
    return joined;
}

BOOL Show(OPENFILENAMEW* ofn, const wchar_t* kind) {
    std::wstring record = L"call=" + std::wstring(kind) + L"\n";
    record += L"owner=" + std::to_wstring(reinterpret_cast<UINT_PTR>(ofn->hwndOwner)) + L"\n";
    record += L"title=" + OrNone(ofn->lpstrTitle) + L"\n";
    record += L"filter=" + FilterText(ofn->lpstrFilter) + L"\n";
    record += L"initdir=" + OrNone(ofn->lpstrInitialDir) + L"\n";
    record += L"file=" + OrNone(ofn->lpstrFile) + L"\n";
    record += L"maxfile=" + std::to_wstring(ofn->nMaxFile) + L"\n";
    record += L"flags=" + std::to_wstring(ofn->Flags) + L"\n";
    record += L"defext=" + OrNone(ofn->lpstrDefExt) + L"\n";

    const std::wstring folder = Folder();
    HANDLE log = CreateFileW((folder + L"dialog-record.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                             nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD done = 0;
    WriteFile(log, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &done, nullptr);
    CloseHandle(log);

    HANDLE answer = CreateFileW((folder + L"dialog-answer.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (answer == INVALID_HANDLE_VALUE) return FALSE;
    wchar_t name[1024] = {};
    ReadFile(answer, name, sizeof name - sizeof(wchar_t), &done, nullptr);
    CloseHandle(answer);
    lstrcpynW(ofn->lpstrFile, name, static_cast<int>(ofn->nMaxFile));
    return TRUE;
}

}  // namespace

// Exported under the platform's names by comdlg_double.def.
extern "C" BOOL WINAPI DoubleGetOpenFileNameW(OPENFILENAMEW* ofn) { return Show(ofn, L"open"); }
extern "C" BOOL WINAPI DoubleGetSaveFileNameW(OPENFILENAMEW* ofn) { return Show(ofn, L"save"); }
