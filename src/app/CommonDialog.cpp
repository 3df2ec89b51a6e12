#include "app/CommonDialog.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "app/FileChoice.h"
#include "app/SystemLibrary.h"

namespace {
// The longest path the platform accepts, so that no long name is silently refused.
constexpr DWORD kFileNameCapacity = 32768;
}

bool CommonDialog::ShowOpen(HWND owner) { return Show(owner, false); }
bool CommonDialog::ShowSave(HWND owner) { return Show(owner, true); }

bool CommonDialog::Show(HWND owner, bool save) {
    if (!library_) library_ = LoadSystemLibrary(L"comdlg32.dll");
    if (!library_) return false;
    using ShowFn = BOOL(WINAPI*)(OPENFILENAMEW*);
    auto show = reinterpret_cast<ShowFn>(reinterpret_cast<void*>(
        GetProcAddress(library_.get(), save ? "GetSaveFileNameW" : "GetOpenFileNameW")));
    if (!show) return false;

    std::vector<wchar_t> file(kFileNameCapacity, L'\0');
    FileName.copy(file.data(), std::min<size_t>(FileName.size(), kFileNameCapacity - 1));
    const std::wstring filter = PlatformFilter(Filter);

    // No option flags: the dialogs' own defaults decide overwrite prompts and the like.
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kFileNameCapacity;
    ofn.lpstrInitialDir = DialogStartFolder(InitDir);
    ofn.lpstrTitle = DialogTitle.c_str();
    if (!show(&ofn) || file[0] == L'\0') return false;

    FileName.assign(file.data());
    return true;
}
