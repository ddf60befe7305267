// The Qt backend's bitmaps keep their pixels in plain memory.

#include <cstring>
#include <memory>
#include <new>

#include "platform/common/bitmap_backend.h"
#include "platform/qt/bitmap_object.h"

BitmapObject* NewBitmapObject(const BITMAPINFOHEADER& header, LONG rowBytes) {
    auto bitmap = std::unique_ptr<BitmapObject>(new (std::nothrow) BitmapObject);
    if (!bitmap) {
        return nullptr;
    }
    const std::size_t size = std::size_t(rowBytes) * std::size_t(header.biHeight);
    bitmap->pixels.reset(new (std::nothrow) std::uint8_t[size]);
    if (!bitmap->pixels) {
        return nullptr;
    }
    std::memset(bitmap->pixels.get(), 0, size);
    bitmap->info = BITMAP{0, header.biWidth, header.biHeight, rowBytes, 1, header.biBitCount, bitmap->pixels.get()};
    return bitmap.release();
}

void DeleteBitmapObject(BitmapObject* bitmap) { delete bitmap; }

const BITMAP& BitmapRecord(const BitmapObject* bitmap) { return bitmap->info; }
