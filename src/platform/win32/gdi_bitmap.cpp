// DIB sections are GDI's own, so a bitmap can be selected into a device context and copied with
// StretchBlt; the registry refuses stale and foreign handles as in the Qt backend.

#include "platform/win32/windows_api.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>

#include "platform/win32/bitmap_object.h"

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
    const LONG rowBytes = StoredRowBytes(header.biWidth, header.biBitCount);
    std::memset(pixels, 0, std::size_t(rowBytes) * std::size_t(header.biHeight));
    bitmap->info = BITMAP{0, header.biWidth, header.biHeight, rowBytes, 1, header.biBitCount, pixels};
    if (bits != nullptr) {
        *bits = pixels;
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
    // Bitmaps are deselected after each copy (memory_dc.cpp), so GDI may always free them.
    DeleteObject(static_cast<HGDIOBJ>(bitmap->section));
    delete bitmap;
    return TRUE;
}
