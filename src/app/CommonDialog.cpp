#include "app/CommonDialog.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "app/FileChoice.h"
#include "app/SystemLibrary.h"

namespace {
// The longest path the platform accepts, so that no long name is silently refused.
constexpr DWORD kFileNameCapacity = 32768;

// The dialogs move the process's current folder to wherever the user went in them. The
// tool is found by a search that looks in the current folder second: a kx.exe beside a
// browsed-to file would run instead of the real one. So each dialog leaves it as it was.
class CurrentFolderKept {
public:
    CurrentFolderKept() {
        folder_.resize(GetCurrentDirectoryW(0, nullptr));
        folder_.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder_.size()), folder_.data()));
    }
    ~CurrentFolderKept() {
        if (!folder_.empty()) SetCurrentDirectoryW(folder_.c_str());
    }
    CurrentFolderKept(const CurrentFolderKept&) = delete;
    CurrentFolderKept& operator=(const CurrentFolderKept&) = delete;

private:
    std::wstring folder_;
};
}  // namespace

bool CommonDialog::ShowOpen(HWND owner) { return Show(owner, false); }
bool CommonDialog::ShowSave(HWND owner) { return Show(owner, true); }

bool CommonDialog::Show(HWND owner, bool save) {
    if (!library_) library_ = LoadSystemLibrary(L"comdlg32.dll");
    if (!library_) return false;
    using ShowFn = BOOL(WINAPI*)(OPENFILENAMEW*);
    auto show = LibraryFunction<ShowFn>(library_.get(), save ? "GetSaveFileNameW" : "GetOpenFileNameW");
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
    const CurrentFolderKept folder;
    if (!show(&ofn) || file[0] == L'\0') return false;

    FileName.assign(file.data());
    return true;
}
