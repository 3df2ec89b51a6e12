#include "app/Form1.h"

#include "app/CommandLine.h"
#include "app/FileChoice.h"
#include "app/Launch.h"
#include "app/RememberedFolders.h"
#include "app/SystemLibrary.h"
#include "form.h"
#include "paths/Procedures.h"
#include "resource.h"
#include "settings/RegistreWin.h"

namespace {

constexpr wchar_t kClassName[] = L"QuorvaneForm1";
// Takes dropped files by its style: DragAcceptFiles would bring the shell in at start-up.
constexpr DWORD kExStyle = WS_EX_ACCEPTFILES;

constexpr wchar_t kFieldMissing[] = L"Bin file or destination file are missing\rPlease check";
constexpr wchar_t kLaunchFailed[] = L"An error has occured\rCheck your filenames";

// The field that a file dropped onto a control fills: a field takes drops onto itself, its
// label and its browse button; 0 for anywhere else.
int FieldForDrop(int controlId) {
    switch (controlId) {
    case IDC_LABEL1:
    case IDC_BINFILE:
    case IDC_COMMAND1:
        return IDC_BINFILE;
    case IDC_LABEL2:
    case IDC_DEST:
    case IDC_COMMAND2:
        return IDC_DEST;
    default:
        return 0;
    }
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

bool Form1::Create(HINSTANCE instance) {
    state_.instance = instance;
    state_.backColor.reset(CreateSolidBrush(form::kBackColor));

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUORVANE));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc)) return false;

    const RECT at = state_.frame.Start(kExStyle);
    return CreateWindowExW(kExStyle, kClassName, form::kCaption, form::kStyle, at.left, at.top,
                           at.right - at.left, at.bottom - at.top, nullptr, nullptr, instance,
                           this) != nullptr;
}

void Form1::Show(int showCommand) {
    ShowWindow(state_.hwnd, showCommand);
    UpdateWindow(state_.hwnd);
}

LRESULT CALLBACK Form1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->state_.hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return form ? form->HandleMessage(message, wParam, lParam)
                : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_SIZE:
        Form_Resize(wParam);
        return 0;
    case WM_SIZING:
        state_.frame.OnSizing(*reinterpret_cast<RECT*>(lParam));
        return TRUE;
    case WM_DPICHANGED:  // both words of wParam: the DPI
        state_.frame.OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case FixedFrame::kApplyFixedSizeMessage:
        state_.frame.ApplyFixedSize();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // OnPaint covers the whole client area
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ACTIVATE:
        OnActivate(wParam);
        return 0;
    case WM_COMMAND:
        OnCommand(wParam);
        return 0;
    case WM_DROPFILES:
        Form_DropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(state_.hwnd, message, wParam, lParam);
    }
}

void Form1::OnCreate() {
    state_.picture = LoadJpegResource(state_.instance, IDR_BACKGROUND);
    state_.frame.Attach(state_.hwnd, state_.instance);
    // Each member holds the control of its own id, whatever the order and number of form.h's entries.
    state_.Label1 = GetDlgItem(state_.hwnd, IDC_LABEL1);
    state_.BinFile = GetDlgItem(state_.hwnd, IDC_BINFILE);
    state_.Command1 = GetDlgItem(state_.hwnd, IDC_COMMAND1);
    state_.Label2 = GetDlgItem(state_.hwnd, IDC_LABEL2);
    state_.Dest = GetDlgItem(state_.hwnd, IDC_DEST);
    state_.Command2 = GetDlgItem(state_.hwnd, IDC_COMMAND2);
    state_.Command3 = GetDlgItem(state_.hwnd, IDC_COMMAND3);
    // The fields take any length; the platform's default would stop typing at 32,767.
    SendMessageW(state_.BinFile, EM_SETLIMITTEXT, 0, 0);
    SendMessageW(state_.Dest, EM_SETLIMITTEXT, 0, 0);

    Form_Load();
}

void Form1::Form_Load() {
    state_.InitDirOpen = GetRegString(kSettingsRoot, kSettingsKey, kFolderOpenValue);
    state_.InitDirRec = GetRegString(kSettingsRoot, kSettingsKey, kFolderRecValue);
}

void Form1::Form_Resize(WPARAM sizeType) { state_.frame.AfterResize(sizeType); }

void Form1::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(state_.hwnd, &ps);
    RECT client;
    GetClientRect(state_.hwnd, &client);
    DrawForm(dc, client);
    EndPaint(state_.hwnd, &ps);
}

// The back colour and the picture from the top-left corner; the controls, being child
// windows, paint themselves on top.
void Form1::DrawForm(HDC dc, const RECT& client) const {
    FillRect(dc, &client, state_.backColor.get());
    DrawPicture(dc, state_.picture);
}

// The labels have no background of their own: each gets the window's drawing under its own
// area (the window clips its children out of its painting), then its white text on top.
LRESULT Form1::OnCtlColorStatic(HDC dc, HWND control) {
    if (control != state_.Label1 && control != state_.Label2)
        return DefWindowProcW(state_.hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(control));
    // The label's field, next in z-order, covers the label's bottom edge. Statics draw with
    // their parent's clipping (CS_PARENTDC), not their own, so keep this one off the field.
    RECT field;
    GetWindowRect(GetWindow(control, GW_HWNDNEXT), &field);
    MapWindowPoints(nullptr, control, reinterpret_cast<POINT*>(&field), 2);
    ExcludeClipRect(dc, field.left, field.top, field.right, field.bottom);
    POINT origin = {0, 0};
    MapWindowPoints(control, state_.hwnd, &origin, 1);
    RECT client;
    GetClientRect(state_.hwnd, &client);
    POINT old;
    SetWindowOrgEx(dc, origin.x, origin.y, &old);
    DrawForm(dc, client);
    SetWindowOrgEx(dc, old.x, old.y, nullptr);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, form::kLabelColor);
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

void Form1::OnActivate(WPARAM wParam) {
    // A plain window does not keep its focused control across activation: do it here.
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(state_.hwnd, focus)) state_.lastFocus = focus;
    } else {
        SetFocus(state_.lastFocus ? state_.lastFocus : state_.BinFile);
    }
}

void Form1::OnCommand(WPARAM wParam) {
    int id = LOWORD(wParam);
    if (id == IDOK) {
        // Enter from the dialog keys: a focused button is pressed; elsewhere it does nothing.
        HWND focus = GetFocus();
        const bool onButton =
            focus == state_.Command1 || focus == state_.Command2 || focus == state_.Command3;
        id = onButton ? GetDlgCtrlID(focus) : 0;
    } else if (HIWORD(wParam) != BN_CLICKED) {
        return;
    }
    switch (id) {
    case IDC_COMMAND1:
        Command1_Click();
        break;
    case IDC_COMMAND2:
        Command2_Click();
        break;
    case IDC_COMMAND3:
        Command3_Click();
        break;
    default:  // Enter elsewhere than on a button, or a control's other notifications
        break;
    }
}

bool Form1::PreTranslateMessage(MSG& msg) {
    if (msg.hwnd == state_.Dest) {
        if (msg.message == WM_CHAR) Dest_KeyPress(static_cast<wchar_t>(msg.wParam));
        // Enter stays with the field: the dialog keys would turn it into IDOK.
        const bool enter = (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) ||
                           (msg.message == WM_CHAR && msg.wParam == L'\r');
        if (enter) return false;
    }
    return IsDialogMessageW(state_.hwnd, &msg);
}

void Form1::Dest_KeyPress(wchar_t keyAscii) {
    if (keyAscii == L'\r') Command3_Click();
}

void Form1::Form_DropFiles(HDROP drop) {
    if (!state_.shell) state_.shell = LoadSystemLibrary(L"shell32.dll");
    const auto finish = LibraryFunction<decltype(&DragFinish)>(state_.shell.get(), "DragFinish");
    if (!finish) return;  // without the shell nothing can read or release the drop
    // Disabled, the window takes no input: a dialog or message box is up.
    if (IsWindowEnabled(state_.hwnd)) FillFromDrop(drop);
    finish(drop);
}

// The first item dropped becomes the text of the field it was dropped on, as if typed.
void Form1::FillFromDrop(HDROP drop) {
    const auto queryPoint = LibraryFunction<decltype(&DragQueryPoint)>(state_.shell.get(), "DragQueryPoint");
    const auto queryFile = LibraryFunction<decltype(&DragQueryFileW)>(state_.shell.get(), "DragQueryFileW");
    POINT point;
    if (!queryPoint || !queryFile || !queryPoint(drop, &point)) return;  // outside the client area
    HWND under = ChildWindowFromPointEx(state_.hwnd, point, CWP_SKIPINVISIBLE);
    const int field = under && under != state_.hwnd ? FieldForDrop(GetDlgCtrlID(under)) : 0;
    const UINT length = field ? queryFile(drop, 0, nullptr, 0) : 0;
    if (length == 0) return;
    std::wstring path(length + 1, L'\0');
    path.resize(queryFile(drop, 0, path.data(), length + 1));
    SetWindowTextW(GetDlgItem(state_.hwnd, field), path.c_str());
}

void Form1::Command1_Click() { Browse(state_.InitDirOpen, L"Open", false, state_.BinFile, kFolderOpenValue); }

void Form1::Command2_Click() { Browse(state_.InitDirRec, L"Save As", true, state_.Dest, kFolderRecValue); }

void Form1::Browse(const std::wstring& initDir, const wchar_t* title, bool save, HWND field,
                   const wchar_t* valueName) {
    CommonDialog& dialog = state_.dlgCommonDialog;
    dialog.InitDir = initDir;
    dialog.DialogTitle = title;
    dialog.Filter = kBinFilter;
    if (!(save ? dialog.ShowSave(state_.hwnd) : dialog.ShowOpen(state_.hwnd))) return;

    SetWindowTextW(field, dialog.FileName.c_str());
    std::wstring folder = dialog.FileName;
    StripFileName(folder);
    SaveRegString(kSettingsRoot, kSettingsKey, valueName, folder);
}

void Form1::Command3_Click() {
    const std::wstring destPath = WindowText(state_.Dest);
    const std::wstring inputPath = WindowText(state_.BinFile);
    if (inputPath.empty() || destPath.empty()) {
        ShowError(kFieldMissing);
        return;
    }
    if (!LaunchTool(BuildCommandLine(inputPath, destPath))) {
        ShowError(kLaunchFailed);
        return;
    }
    // The tool runs on by itself; nothing is saved and no further event runs.
    ExitProcess(0);
}

void Form1::ShowError(const wchar_t* text) { MessageBoxW(state_.hwnd, text, L"Error", MB_OK | MB_ICONSTOP); }
