// The floor that any program with Quorvane's window and run button pays. At start: the bare
// window's frame and size, with the caption, icon and back colour, the background picture
// decoded by the platform's decoder through the program's own code (the decoder loaded, used
// and let go) and drawn, and the seven controls in 8-point MS Sans Serif, the labels in white
// over the picture. At a click on the run button: the tool started on the two fields' text
// with a normal, activated window, and the process ended at once. Nothing else: no settings
// read, no DPI declaration, no keyboard handling, no focus, no checks, no quoting.
#include <windows.h>

#include <string>

#include "FloorWindow.h"
#include "app/Launch.h"
#include "app/Picture.h"
#include "resource.h"

namespace {

constexpr COLORREF kBackColor = RGB(1, 0, 66);
constexpr COLORREF kLabelColor = RGB(255, 255, 255);

struct Control {
    int id;
    const wchar_t* windowClass;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    RECT twips;  // left, top, width, height
};

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
constexpr DWORD kField = WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
constexpr Control kControls[] = {
    {IDC_LABEL1, L"STATIC", L"Choose your Bin file", kLabel, 0, {120, 120, 1455, 255}},
    {IDC_BINFILE, L"EDIT", L"", kField, WS_EX_CLIENTEDGE, {120, 360, 2775, 285}},
    {IDC_COMMAND1, L"BUTTON", L"...", kButton, 0, {3000, 360, 375, 285}},
    {IDC_LABEL2, L"STATIC", L"Choose the destination", kLabel, 0, {120, 840, 2175, 255}},
    {IDC_DEST, L"EDIT", L"", kField, WS_EX_CLIENTEDGE, {120, 1080, 2775, 285}},
    {IDC_COMMAND2, L"BUTTON", L"...", kButton, 0, {3000, 1080, 375, 285}},
    {IDC_COMMAND3, L"BUTTON", L"by Ravelyn -=GO=-", kButton, 0, {120, 1560, 3255, 375}},
};

int dpi = 96;
Picture picture;
HFONT font;
HBRUSH backColor;

int Px(int twips) { return MulDiv(twips, dpi, floor_window::kTwipsPerInch); }

void DrawBackground(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, backColor);
    DrawPicture(dc, picture);
}

void CreateControls(HWND window, HINSTANCE instance) {
    picture = LoadJpegResource(instance, IDR_BACKGROUND);
    font = CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       L"MS Sans Serif");
    for (const Control& c : kControls) {
        HWND control =
            CreateWindowExW(c.exStyle, c.windowClass, c.text, WS_CHILD | WS_VISIBLE | c.style,
                            Px(c.twips.left), Px(c.twips.top), Px(c.twips.right), Px(c.twips.bottom), window,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

// A label has no background of its own: the window's drawing under it, then white text.
LRESULT LabelColours(HWND window, HDC dc, HWND label) {
    POINT origin = {0, 0};
    MapWindowPoints(label, window, &origin, 1);
    POINT old;
    SetWindowOrgEx(dc, origin.x, origin.y, &old);
    DrawBackground(window, dc);
    SetWindowOrgEx(dc, old.x, old.y, nullptr);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kLabelColor);
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

std::wstring FieldText(HWND window, int id) {
    HWND field = GetDlgItem(window, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The run button: the tool on the two paths, started as the program starts it (shown
// normally and activated); then the end.
void Run(HWND window) {
    if (LaunchTool(L"kx.exe " + FieldText(window, IDC_BINFILE) + L' ' + FieldText(window, IDC_DEST)))
        ExitProcess(0);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        CreateControls(window, reinterpret_cast<CREATESTRUCTW*>(lParam)->hInstance);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers the whole client area
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        DrawBackground(window, dc);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_COMMAND3 && HIWORD(wParam) == BN_CLICKED) Run(window);
        return 0;
    case WM_CTLCOLORSTATIC:
        return LabelColours(window, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    backColor = CreateSolidBrush(kBackColor);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUORVANE));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    wc.lpszClassName = L"WindowFloor";
    dpi = floor_window::ScreenDpi();
    return floor_window::Run(wc, L"Ostrafel Frontend 1.2", dpi, showCommand);
}
