#include "app/Picture.h"

#include "app/SystemLibrary.h"

#include <ole2.h>
#include <wincodec.h>

namespace {

struct ReleaseCom {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using ComPtr = Unique<T*, ReleaseCom>;

struct FreeGlobal {
    void operator()(HGLOBAL memory) const { GlobalFree(memory); }
};
using UniqueGlobal = Unique<HGLOBAL, FreeGlobal>;

// The resource's bytes, copied into movable memory that a stream can read.
UniqueGlobal CopyResource(HINSTANCE instance, int id) {
    HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!info) return {};
    HGLOBAL loaded = LoadResource(instance, info);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(instance, info);
    if (!bytes || size == 0) return {};
    UniqueGlobal copy(GlobalAlloc(GMEM_MOVEABLE, size));
    void* target = copy ? GlobalLock(copy.get()) : nullptr;
    if (!target) return {};
    CopyMemory(target, bytes, size);
    GlobalUnlock(copy.get());
    return copy;
}

// Decodes into a bitmap of our own, with the platform's JPEG decoder.
Picture Decode(IClassFactory* decoders, HGLOBAL jpeg) {
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(CreateStreamOnHGlobal(jpeg, FALSE, stream.put())) ||
        FAILED(decoders->CreateInstance(nullptr, IID_IWICBitmapDecoder,
                                        reinterpret_cast<void**>(decoder.put()))) ||
        FAILED(decoder.get()->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)) ||
        FAILED(decoder.get()->GetFrame(0, frame.put())))
        return {};

    UINT width = 0, height = 0;
    WICPixelFormatGUID format{};
    if (FAILED(frame.get()->GetSize(&width, &height)) || FAILED(frame.get()->GetPixelFormat(&format)) ||
        format != GUID_WICPixelFormat24bppBGR || width == 0 || height == 0 || width > 4096 || height > 4096)
        return {};

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, as the decoder writes
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    Picture picture;
    picture.bitmap.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const UINT stride = (width * 3 + 3) & ~3u;  // DIB rows are padded to four bytes
    if (!picture.bitmap ||
        FAILED(frame.get()->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits))))
        return {};
    picture.size = {static_cast<LONG>(width), static_cast<LONG>(height)};
    return picture;
}

}  // namespace

Picture LoadJpegResource(HINSTANCE instance, int id) {
    const UniqueGlobal jpeg = CopyResource(instance, id);
    if (!jpeg) return {};

    // The decoder is needed once. Taken straight from its library rather than through
    // COM, which would keep that library and the half dozen it needs loaded for good;
    // here they all go again as soon as the picture is copied.
    const UniqueModule codecs = LoadSystemLibrary(L"windowscodecs.dll");
    using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject = LibraryFunction<GetClassObjectFn>(codecs.get(), "DllGetClassObject");
    ComPtr<IClassFactory> decoders;
    if (!getClassObject || FAILED(getClassObject(CLSID_WICJpegDecoder, IID_IClassFactory,
                                                 reinterpret_cast<void**>(decoders.put()))))
        return {};
    return Decode(decoders.get(), jpeg.get());
}

void DrawPicture(HDC dc, const Picture& picture) {
    if (!picture.bitmap) return;
    const UniqueMemoryDc source(CreateCompatibleDC(dc));
    if (!source) return;
    HGDIOBJ old = SelectObject(source.get(), picture.bitmap.get());
    BitBlt(dc, 0, 0, picture.size.cx, picture.size.cy, source.get(), 0, 0, SRCCOPY);
    SelectObject(source.get(), old);
}
