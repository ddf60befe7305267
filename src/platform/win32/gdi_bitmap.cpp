// The Win32 backend's bitmaps are GDI's own DIB sections, so a bitmap can be selected into a
// device context and copied with StretchBlt.

#include "platform/win32/windows_api.h"

#include <cstring>
#include <memory>
#include <new>

#include "platform/common/bitmap_backend.h"
#include "platform/win32/bitmap_object.h"

BitmapObject* NewBitmapObject(const BITMAPINFOHEADER& header, LONG rowBytes) {
    auto bitmap = std::unique_ptr<BitmapObject>(new (std::nothrow) BitmapObject);
    if (!bitmap) {
        return nullptr;
    }
    Win32BITMAPINFO native{};
    native.bmiHeader.biSize = sizeof(Win32BITMAPINFOHEADER);
    native.bmiHeader.biWidth = header.biWidth;
    native.bmiHeader.biHeight = header.biHeight;
    native.bmiHeader.biPlanes = 1;
    native.bmiHeader.biBitCount = header.biBitCount;
    native.bmiHeader.biCompression = 0;  // BI_RGB
    void* pixels = nullptr;
    bitmap->section = CreateDIBSection(static_cast<HDC>(nullptr), &native, 0 /* DIB_RGB_COLORS */, &pixels,
                                       nullptr, Win32DWORD{0});
    if (bitmap->section == nullptr || pixels == nullptr) {
        if (bitmap->section != nullptr) DeleteObject(bitmap->section);
        return nullptr;
    }
    std::memset(pixels, 0, std::size_t(rowBytes) * std::size_t(header.biHeight));
    bitmap->info = BITMAP{0, header.biWidth, header.biHeight, rowBytes, 1, header.biBitCount, pixels};
    return bitmap.release();
}

void DeleteBitmapObject(BitmapObject* bitmap) {
    // Bitmaps are deselected after each copy (memory_dc.cpp), so GDI may always free them.
    DeleteObject(static_cast<HGDIOBJ>(bitmap->section));
    delete bitmap;
}

const BITMAP& BitmapRecord(const BitmapObject* bitmap) { return bitmap->info; }
