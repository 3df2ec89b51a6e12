// The platform's Open and Save As dialogs, as one component that both browse actions share.
#pragma once

#include <windows.h>

#include <string>

#include "common/Unique.h"

class CommonDialog {
public:
    // The component's properties, public as a dialog component's are.
    // NOLINTBEGIN(misc-non-private-member-variables-in-classes)
    // Set by the caller before each use.
    std::wstring InitDir;
    std::wstring DialogTitle;
    std::wstring Filter;  // "Description|pattern"
    // The chosen file's full path. Never cleared: it is the next dialog's initial name.
    std::wstring FileName;
    // NOLINTEND(misc-non-private-member-variables-in-classes)

    // Modal. True when a file was chosen (FileName then holds it); cancel is not an error.
    bool ShowOpen(HWND owner);
    bool ShowSave(HWND owner);

private:
    bool Show(HWND owner, bool save);

    // The dialog library is loaded when a dialog is first needed, not at start-up.
    UniqueModule library_;
};
