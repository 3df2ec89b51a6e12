#include "app/Form1.h"

#include "app/CommandLine.h"
#include "app/Dpi.h"
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

// Posted by the resize handler to itself: the fixed size is set once the resize that raised
// it is complete. Set from inside that resize, Wine under a window manager never passes it
// on to X, and the window stays at the manager's size, partly unpainted.
constexpr UINT kApplyFixedSizeMessage = WM_APP + 1;

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

POINT CentredOnScreen(SIZE outer) {
    return {(GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2, (GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2};
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

int Form1::Px(int twips) const { return MulDiv(twips, state_.dpi, form::kTwipsPerInch); }

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

    // Centred at the system's DPI, which puts the window on the primary monitor; once it
    // exists, it is laid out again if that monitor has a DPI of its own (OnCreate).
    state_.dpi = static_cast<int>(WindowDpi(nullptr));
    state_.outerSize = OuterSizeForDpi();
    const POINT at = CentredOnScreen(state_.outerSize);
    return CreateWindowExW(kExStyle, kClassName, form::kCaption, form::kStyle, at.x, at.y,
                           state_.outerSize.cx, state_.outerSize.cy, nullptr, nullptr, instance,
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
        OnSizing(*reinterpret_cast<RECT*>(lParam));
        return TRUE;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));  // both words: the DPI
        return 0;
    case kApplyFixedSizeMessage:
        ApplyFixedSize();
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
    state_.font = MakeFont();

    for (const form::ControlSpec& c : form::kControls) {
        HWND control = CreateWindowExW(
            c.exStyle, c.windowClass, c.text, WS_CHILD | WS_VISIBLE | c.style, Px(c.place.left),
            Px(c.place.top), Px(c.place.width), Px(c.place.height), state_.hwnd,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), state_.instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(state_.font.get()), FALSE);
    }
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

    // Made at the system's DPI; a primary monitor at another scale has its own.
    const int dpi = static_cast<int>(WindowDpi(state_.hwnd));
    if (dpi != state_.dpi) {
        state_.dpi = dpi;
        LayOut(CentredOnScreen(OuterSizeForDpi()));
    }

    Form_Load();
}

UniqueGdi<HFONT> Form1::MakeFont() const {
    return UniqueGdi<HFONT>(CreateFontW(-MulDiv(8, state_.dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                        DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif"));
}

// The outer size that gives the client area in twips at the window's DPI, on the frame the
// platform reports for that DPI.
SIZE Form1::OuterSizeForDpi() const {
    RECT outer = {0, 0, Px(form::kClientSize.cx), Px(form::kClientSize.cy)};
    AdjustWindowRectForDpi(outer, form::kStyle, kExStyle, static_cast<UINT>(state_.dpi));
    return {outer.right - outer.left, outer.bottom - outer.top};
}

// Everything from the same twips at the window's DPI: the 8-point font, the controls, and
// the fixed size, with the window's top-left corner at topLeft.
void Form1::LayOut(POINT topLeft) {
    UniqueGdi<HFONT> font = MakeFont();
    for (const form::ControlSpec& c : form::kControls) {
        HWND control = GetDlgItem(state_.hwnd, c.id);
        SetWindowPos(control, nullptr, Px(c.place.left), Px(c.place.top), Px(c.place.width),
                     Px(c.place.height), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    state_.font = std::move(font);  // the old one only now, when no control uses it

    state_.outerSize = OuterSizeForDpi();
    if (IsZoomed(state_.hwnd) || IsIconic(state_.hwnd)) return;  // restoring applies the size
    SetWindowPos(state_.hwnd, nullptr, topLeft.x, topLeft.y, state_.outerSize.cx, state_.outerSize.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    // A platform may draw another frame than it reports for that DPI (Wine draws its own at
    // the system's): the client area is what must come out right.
    RECT client;
    GetClientRect(state_.hwnd, &client);
    const SIZE missing = {Px(form::kClientSize.cx) - client.right, Px(form::kClientSize.cy) - client.bottom};
    if (missing.cx || missing.cy) {
        state_.outerSize = {state_.outerSize.cx + missing.cx, state_.outerSize.cy + missing.cy};
        SetWindowPos(state_.hwnd, nullptr, 0, 0, state_.outerSize.cx, state_.outerSize.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RedrawWindow(state_.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void Form1::OnDpiChanged(UINT dpi, const RECT& suggested) {
    // Moved to a monitor of another scale, or the scale changed: the same twips at the new
    // DPI, where Windows suggests. The fields keep their text and the focus stays.
    state_.dpi = static_cast<int>(dpi);
    LayOut({suggested.left, suggested.top});
}

void Form1::OnSizing(RECT& proposed) const {
    // Windows runs a border drag in its own loop and dispatches posted messages there: the
    // frame would take each dragged size and be set back at once, flickering through the
    // drag. The size is fixed, so the frame does not move at all.
    if (!IsZoomed(state_.hwnd) && !IsIconic(state_.hwnd)) GetWindowRect(state_.hwnd, &proposed);
}

void Form1::Form_Load() {
    state_.InitDirOpen = GetRegString(kSettingsRoot, kSettingsKey, kFolderOpenValue);
    state_.InitDirRec = GetRegString(kSettingsRoot, kSettingsKey, kFolderRecValue);
}

void Form1::Form_Resize(WPARAM sizeType) {
    // Minimized and maximized windows keep the platform's size; the normal state is fixed.
    if (sizeType == SIZE_RESTORED && !HasFixedSize()) PostMessageW(state_.hwnd, kApplyFixedSizeMessage, 0, 0);
}

void Form1::ApplyFixedSize() {
    // The window may have been maximized or minimized since the resize that posted this.
    if (IsZoomed(state_.hwnd) || IsIconic(state_.hwnd) || HasFixedSize()) return;
    SetWindowPos(state_.hwnd, nullptr, 0, 0, state_.outerSize.cx, state_.outerSize.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Form1::HasFixedSize() const {
    RECT r;
    GetWindowRect(state_.hwnd, &r);
    return r.right - r.left == state_.outerSize.cx && r.bottom - r.top == state_.outerSize.cy;
}

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
