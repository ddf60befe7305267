// Memory contexts and StretchBlt's checks and clipping for both backends; the copy itself is the
// backend's (DrawStretchCopy: Qt's painter, or GDI's StretchBlt).

#include "platform/memory_dc.h"

#include <algorithm>

#include "platform/common/bitmap_backend.h"

namespace {
bool IsCopyable(const BITMAP& info) { return info.bmBitsPixel == 24 || info.bmBitsPixel == 32; }
}  // namespace

BitmapObject* LiveSelection(const CDC* dc) {
    BitmapObject* bitmap = dc->GetSelectedBitmap();
    return IsLiveBitmap(bitmap) ? bitmap : nullptr;
}

CDC* CreateCompatibleDC(CDC*) { return new CDC(nullptr); }

BOOL DeleteDC(CDC* dc) {
    if (dc == nullptr) {
        return FALSE;
    }
    delete dc;
    return TRUE;
}

HBITMAP SelectObject(CDC* dc, HBITMAP bitmap) { return dc != nullptr ? dc->SelectBitmap(bitmap) : nullptr; }

int SetStretchBltMode(CDC* dc, int mode) {
    if (dc == nullptr || mode < BLACKONWHITE || mode > HALFTONE) {
        return 0;
    }
    return dc->SetStretchMode(mode);
}

BOOL StretchBlt(CDC* destination, int x, int y, int width, int height, CDC* source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop) {
    if (destination == nullptr || source == nullptr || rop != SRCCOPY || width <= 0 || height <= 0 ||
        sourceWidth <= 0 || sourceHeight <= 0) {
        return FALSE;
    }
    const BitmapObject* sourceBitmap = LiveSelection(source);
    if (sourceBitmap == nullptr || !IsCopyable(BitmapRecord(sourceBitmap))) {
        return FALSE;
    }
    const BITMAP& info = BitmapRecord(sourceBitmap);
    // Clip the source rectangle to the bitmap, in 64 bits so that no sum overflows; GDI itself
    // would stretch what lies outside as well.
    const long long left = std::max<long long>(sourceX, 0);
    const long long top = std::max<long long>(sourceY, 0);
    const long long right = std::min<long long>((long long)sourceX + sourceWidth, info.bmWidth);
    const long long bottom = std::min<long long>((long long)sourceY + sourceHeight, info.bmHeight);
    if (left >= right || top >= bottom) {
        return FALSE;
    }
    const double scaleX = double(width) / sourceWidth, scaleY = double(height) / sourceHeight;
    return DrawStretchCopy(destination, StretchCopy{sourceBitmap, int(left), int(top), int(right - left), int(bottom - top),
                                                    x + (left - sourceX) * scaleX, y + (top - sourceY) * scaleY,
                                                    x + (right - sourceX) * scaleX, y + (bottom - sourceY) * scaleY,
                                                    (right - left) * scaleX, (bottom - top) * scaleY});
}
