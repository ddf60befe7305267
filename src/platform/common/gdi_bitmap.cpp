// DIB sections for both backends: the header's checks and the registry that refuses stale and
// foreign handles; where the pixels live is the backend's (common/bitmap_backend.h).

#include "platform/gdi_bitmap.h"

#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/common/bitmap_backend.h"

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
    BitmapObject* bitmap = NewBitmapObject(header, StoredRowBytes(header.biWidth, header.biBitCount));
    if (bitmap == nullptr) {
        return nullptr;
    }
    if (bits != nullptr) {
        *bits = BitmapRecord(bitmap).bmBits;
    }
    std::lock_guard lock(g_bitmapsLock);
    LiveBitmaps().insert(bitmap);
    return bitmap;
}

int GetObject(HBITMAP bitmap, int bufferSize, void* buffer) {
    if (buffer == nullptr || bufferSize < int(sizeof(BITMAP)) || !IsLiveBitmap(bitmap)) {
        return 0;
    }
    std::memcpy(buffer, &BitmapRecord(bitmap), sizeof(BITMAP));
    return int(sizeof(BITMAP));
}

BOOL DeleteObject(HBITMAP bitmap) {
    {
        std::lock_guard lock(g_bitmapsLock);
        if (bitmap == nullptr || LiveBitmaps().erase(bitmap) == 0) {
            return FALSE;
        }
    }
    DeleteBitmapObject(bitmap);
    return TRUE;
}
