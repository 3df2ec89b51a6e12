#include "app/Picture.h"

#include <ole2.h>
#include <olectl.h>

namespace {

struct ReleaseCom {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using ComPtr = Unique<T*, ReleaseCom>;

struct FreeGlobal {
    void operator()(HGLOBAL memory) const { GlobalFree(memory); }
};

// The resource's bytes, copied into movable memory that a stream can own.
Unique<HGLOBAL, FreeGlobal> CopyResource(HINSTANCE instance, int id, DWORD& size) {
    HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!info) return {};
    HGLOBAL loaded = LoadResource(instance, info);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    size = SizeofResource(instance, info);
    if (!bytes || size == 0) return {};
    Unique<HGLOBAL, FreeGlobal> copy(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!copy) return {};
    void* target = GlobalLock(copy.get());
    if (!target) return {};
    CopyMemory(target, bytes, size);
    GlobalUnlock(copy.get());
    return copy;
}

}  // namespace

Picture LoadJpegResource(HINSTANCE instance, int id) {
    DWORD size = 0;
    auto memory = CopyResource(instance, id, size);
    if (!memory) return {};

    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory.get(), FALSE, stream.put()))) return {};
    ComPtr<IPicture> decoded;
    if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(decoded.put()))))
        return {};

    OLE_HANDLE handle = 0;
    if (FAILED(decoded.get()->get_Handle(&handle))) return {};
    // Keep a copy of our own, so the picture object and its decoder can go now.
    Picture picture;
    picture.bitmap.reset(static_cast<HBITMAP>(
        CopyImage(reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handle)), IMAGE_BITMAP, 0, 0, 0)));
    BITMAP info{};
    if (picture.bitmap && GetObjectW(picture.bitmap.get(), sizeof info, &info))
        picture.size = {info.bmWidth, info.bmHeight};
    return picture;
}

void DrawPicture(HDC dc, const Picture& picture) {
    if (!picture.bitmap) return;
    UniqueMemoryDc source(CreateCompatibleDC(dc));
    if (!source) return;
    HGDIOBJ old = SelectObject(source.get(), picture.bitmap.get());
    BitBlt(dc, 0, 0, picture.size.cx, picture.size.cy, source.get(), 0, 0, SRCCOPY);
    SelectObject(source.get(), old);
}
