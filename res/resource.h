// Resource and control ids, and the program's version, each defined once.
#pragma once

#define QUORVANE_VERSION_BINARY 1, 0, 0, 0
#define QUORVANE_VERSION_TEXT "1.00"

#define IDI_QUORVANE 1
#define IDR_BACKGROUND 100

// Controls of the main window. None may be 1 (IDOK) or 2 (IDCANCEL): the dialog
// keyboard handling turns Enter and Esc into those ids, and they must start nothing.
#define IDC_BINFILE 1001
#define IDC_COMMAND1 1002
#define IDC_DEST 1003
#define IDC_COMMAND2 1004
#define IDC_COMMAND3 1005
#define IDC_LABEL1 1006
#define IDC_LABEL2 1007
