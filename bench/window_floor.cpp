// The floor that any program with Quorvane's window and run button pays, written the plain
// way in code of its own: none of the program's code runs here, so that a slower picture or a
// slower start of the tool in the program shows against the floor instead of slowing both.
// What it shares with the program is only what the window is (form.h: frame, caption,
// colours, client area, controls) and its resources (the icon and the picture).
// At start: the window with its icon and back colour; the background picture decoded with the
// imaging factory of the system's windowscodecs.dll to a 32-bit DIB, the library let go again
// before the window shows (as the program does), and drawn; the seven controls in 8-point
// MS Sans Serif, the labels in white over the picture. At a click on the run button: the tool
// started on the two fields' text in a normal, activated window, inheriting no handle, and
// the process ended at once. Nothing else: no settings read, no DPI declaration, no keyboard
// handling, no focus, no checks, no quoting.
#include <windows.h>
#include <wincodec.h>

#include <string>

#include "FloorWindow.h"
#include "common/Unique.h"
#include "form.h"
#include "resource.h"

namespace {

struct ReleaseCom {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using Com = Unique<T*, ReleaseCom>;

int dpi = 96;
UniqueGdi<HBITMAP> picture;
SIZE pictureSize{};
UniqueGdi<HFONT> font;
UniqueGdi<HBRUSH> backColor;

int Px(int twips) { return MulDiv(twips, dpi, form::kTwipsPerInch); }

// The factory is taken from the library itself rather than through COM, which would keep the
// library loaded for good: here it goes again once the pixels are copied.
void LoadPicture(HINSTANCE instance) {
    HRSRC info =
        FindResourceW(instance, MAKEINTRESOURCEW(IDR_BACKGROUND), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL resource = info ? LoadResource(instance, info) : nullptr;
    auto* jpeg = static_cast<BYTE*>(resource ? LockResource(resource) : nullptr);
    const UniqueModule codecs(LoadLibraryExW(L"windowscodecs.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(codecs.get(), "DllGetClassObject")));
    Com<IClassFactory> factories;
    Com<IWICImagingFactory> factory;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    if (!jpeg || !getClassObject ||
        FAILED(getClassObject(CLSID_WICImagingFactory, IID_IClassFactory,
                              reinterpret_cast<void**>(factories.put()))) ||
        FAILED(factories.get()->CreateInstance(nullptr, IID_IWICImagingFactory,
                                               reinterpret_cast<void**>(factory.put()))) ||
        FAILED(factory.get()->CreateStream(stream.put())) ||
        FAILED(stream.get()->InitializeFromMemory(jpeg, SizeofResource(instance, info))) ||
        FAILED(factory.get()->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                      decoder.put())) ||
        FAILED(decoder.get()->GetFrame(0, frame.put())) ||
        FAILED(factory.get()->CreateFormatConverter(converter.put())) ||
        FAILED(converter.get()->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                           nullptr, 0.0, WICBitmapPaletteTypeCustom)) ||
        FAILED(converter.get()->GetSize(&width, &height)))
        return;

    BITMAPINFO bitmap{};
    bitmap.bmiHeader.biSize = sizeof bitmap.bmiHeader;
    bitmap.bmiHeader.biWidth = static_cast<LONG>(width);
    bitmap.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, as the decoder writes
    bitmap.bmiHeader.biPlanes = 1;
    bitmap.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    picture.reset(CreateDIBSection(nullptr, &bitmap, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (picture && SUCCEEDED(converter.get()->CopyPixels(nullptr, width * 4, width * 4 * height,
                                                         static_cast<BYTE*>(bits))))
        pictureSize = {static_cast<LONG>(width), static_cast<LONG>(height)};
}

void DrawBackground(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, backColor.get());
    const UniqueMemoryDc source(CreateCompatibleDC(dc));
    HGDIOBJ old = SelectObject(source.get(), picture.get());
    BitBlt(dc, 0, 0, pictureSize.cx, pictureSize.cy, source.get(), 0, 0, SRCCOPY);
    SelectObject(source.get(), old);
}

void CreateControls(HWND window, HINSTANCE instance) {
    LoadPicture(instance);
    font.reset(CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                           L"MS Sans Serif"));
    for (const form::ControlSpec& c : form::kControls) {
        HWND control =
            CreateWindowExW(c.exStyle, c.windowClass, c.text, WS_CHILD | WS_VISIBLE | c.style,
                            Px(c.place.left), Px(c.place.top), Px(c.place.width), Px(c.place.height), window,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
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
    SetTextColor(dc, form::kLabelColor);
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

std::wstring FieldText(HWND window, int id) {
    HWND field = GetDlgItem(window, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The run button: the tool on the two paths, shown normally and activated, handed nothing
// of this process's; then the end.
void Run(HWND window) {
    std::wstring commandLine =
        L"kx.exe " + FieldText(window, IDC_BINFILE) + L' ' + FieldText(window, IDC_DEST);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION created{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &created))
        return;
    CloseHandle(created.hThread);
    CloseHandle(created.hProcess);
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
    backColor.reset(CreateSolidBrush(form::kBackColor));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUORVANE));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    wc.lpszClassName = L"WindowFloor";
    dpi = floor_window::ScreenDpi();
    return floor_window::Run(wc, form::kCaption, dpi, showCommand);
}
