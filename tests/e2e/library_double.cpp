// Stands in for a system library in the end-to-end tests, in two roles.
// - As the file dialogs (comdlg32.dll in the system folder, preferred by Wine when told to):
//   records what the program hands to each dialog, then answers with the name in
//   dialog-answer.txt, or cancels when there is none.
// - As a look-alike planted beside the program (comdlg32.dll or windowscodecs.dll): notes
//   that it was loaded at all; every entry point the program looks up then fails.
// Its files live in the program's folder.
#include <windows.h>
#include <commdlg.h>

#include <string>

namespace {

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

void Append(const wchar_t* file, const std::wstring& text) {
    HANDLE log = CreateFileW((ProgramFolder() + file).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                             OPEN_ALWAYS, 0, nullptr);
    DWORD done = 0;
    WriteFile(log, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &done, nullptr);
    CloseHandle(log);
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
    Append(L"dialog-record.txt", record);

    HANDLE answer = CreateFileW((ProgramFolder() + L"dialog-answer.txt").c_str(), GENERIC_READ,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (answer == INVALID_HANDLE_VALUE) return FALSE;
    wchar_t name[1024] = {};
    DWORD done = 0;
    ReadFile(answer, name, sizeof name - sizeof(wchar_t), &done, nullptr);
    CloseHandle(answer);
    lstrcpynW(ofn->lpstrFile, name, static_cast<int>(ofn->nMaxFile));
    return TRUE;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH];
        Append(L"library-double-loaded.txt",
               L"loaded=" + std::wstring(path, GetModuleFileNameW(self, path, MAX_PATH)) + L"\n");
    }
    return TRUE;
}

// Exported under the platform's names by library_double.def.
extern "C" BOOL WINAPI DoubleGetOpenFileNameW(OPENFILENAMEW* ofn) { return Show(ofn, L"open"); }
extern "C" BOOL WINAPI DoubleGetSaveFileNameW(OPENFILENAMEW* ofn) { return Show(ofn, L"save"); }
extern "C" HRESULT WINAPI DoubleDllGetClassObject(REFCLSID, REFIID, void** object) {
    *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}
