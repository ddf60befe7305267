#include "platform/gdi_bitmap.h"

#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

#include "platform/bitmap_object.h"

namespace {
std::mutex g_bitmapsLock;

std::unordered_set<BitmapObject*>& LiveBitmaps() {
    static std::unordered_set<BitmapObject*> bitmaps;
    return bitmaps;
}

// Rows of a DIB are padded to whole 32-bit words.
LONG StoredRowBytes(LONG width, WORD bitCount) { return (width * bitCount + 31) / 32 * 4; }
}  // namespace

bool IsLiveBitmap(HBITMAP bitmap) {
    std::lock_guard lock(g_bitmapsLock);
    return bitmap != nullptr && LiveBitmaps().contains(bitmap);
}

HBITMAP CreateDIBSection(CDC*, const BITMAPINFO* info, UINT, void** bits, HANDLE section, DWORD) {
    if (bits != nullptr) {
        *bits = nullptr;
    }
    if (info == nullptr || section != nullptr) {
        return nullptr;
    }
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biWidth <= 0 || header.biHeight <= 0 ||
        header.biWidth > kMaxDibSide || header.biHeight > kMaxDibSide || header.biPlanes != 1 ||
        (header.biBitCount != 24 && header.biBitCount != 32) || header.biCompression != BI_RGB) {
        return nullptr;
    }
    auto bitmap = std::unique_ptr<BitmapObject>(new (std::nothrow) BitmapObject);
    if (!bitmap) {
        return nullptr;
    }
    const LONG rowBytes = StoredRowBytes(header.biWidth, header.biBitCount);
    const std::size_t size = std::size_t(rowBytes) * std::size_t(header.biHeight);
    bitmap->pixels.reset(new (std::nothrow) std::uint8_t[size]);
    if (!bitmap->pixels) {
        return nullptr;
    }
    std::memset(bitmap->pixels.get(), 0, size);
    bitmap->info = BITMAP{0,           header.biWidth, header.biHeight, rowBytes, 1, header.biBitCount,
                          bitmap->pixels.get()};
    if (bits != nullptr) {
        *bits = bitmap->pixels.get();
    }
    std::lock_guard lock(g_bitmapsLock);
    LiveBitmaps().insert(bitmap.get());
    return bitmap.release();
}

int GetObject(HBITMAP bitmap, int bufferSize, void* buffer) {
    if (buffer == nullptr || bufferSize < int(sizeof(BITMAP)) || !IsLiveBitmap(bitmap)) {
        return 0;
    }
    std::memcpy(buffer, &bitmap->info, sizeof(BITMAP));
    return int(sizeof(BITMAP));
}

BOOL DeleteObject(HBITMAP bitmap) {
    {
        std::lock_guard lock(g_bitmapsLock);
        if (bitmap == nullptr || LiveBitmaps().erase(bitmap) == 0) {
            return FALSE;
        }
    }
    delete bitmap;
    return TRUE;
}
