#include "platform/memory_dc.h"

#include <algorithm>
#include <cstring>

#include <QImage>
#include <QPainter>

#include "platform/bitmap_object.h"
#include "platform/paint_target.h"

namespace {
// The bitmap selected into a context, if it is still alive.
BitmapObject* LiveSelection(const CDC* dc) {
    BitmapObject* bitmap = dc->GetSelectedBitmap();
    return IsLiveBitmap(bitmap) ? bitmap : nullptr;
}

bool IsCopyable(const BITMAP& info) { return info.bmBitsPixel == 24 || info.bmBitsPixel == 32; }

// The picture rectangle (top row first) of a bottom-up bitmap as an opaque top-down image: the
// stored rows are read in reverse, which is also the cheapest way to show them the right way up.
// A null image when Qt cannot allocate it.
QImage PictureRegion(const BITMAP& info, int left, int top, int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    if (picture.isNull()) {
        return picture;
    }
    const auto* bits = static_cast<const std::uint8_t*>(info.bmBits);
    const int bytesPerPixel = info.bmBitsPixel / 8;
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* source =
            bits + std::size_t(info.bmHeight - 1 - (top + row)) * info.bmWidthBytes + std::size_t(left) * bytesPerPixel;
        auto* target = reinterpret_cast<std::uint32_t*>(picture.scanLine(row));
        for (int column = 0; column < width; ++column, source += bytesPerPixel) {
            target[column] = 0xFF000000u | std::uint32_t(source[2]) << 16 | std::uint32_t(source[1]) << 8 | source[0];
        }
    }
    return picture;
}

void Draw(QPainter& painter, int stretchMode, const QRectF& target, const QImage& picture) {
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, stretchMode == HALFTONE);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(target, picture, QRectF(picture.rect()));
    painter.restore();
}
}  // namespace

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
    if (sourceBitmap == nullptr || !IsCopyable(sourceBitmap->info)) {
        return FALSE;
    }
    const BITMAP& info = sourceBitmap->info;
    // Clip the source rectangle to the bitmap, in 64 bits so that no sum overflows.
    const long long left = std::max<long long>(sourceX, 0);
    const long long top = std::max<long long>(sourceY, 0);
    const long long right = std::min<long long>((long long)sourceX + sourceWidth, info.bmWidth);
    const long long bottom = std::min<long long>((long long)sourceY + sourceHeight, info.bmHeight);
    if (left >= right || top >= bottom) {
        return FALSE;
    }
    const double scaleX = double(width) / sourceWidth, scaleY = double(height) / sourceHeight;
    const QRectF target(x + (left - sourceX) * scaleX, y + (top - sourceY) * scaleY, (right - left) * scaleX,
                        (bottom - top) * scaleY);

    if (PaintTarget* window = destination->GetPaintTarget()) {
        if (window->painter == nullptr) {
            return FALSE;
        }
        const QImage picture = PictureRegion(info, int(left), int(top), int(right - left), int(bottom - top));
        if (picture.isNull()) {
            return FALSE;
        }
        Draw(*window->painter, destination->GetStretchMode(), target, picture);
        return TRUE;
    }
    BitmapObject* targetBitmap = LiveSelection(destination);
    if (targetBitmap == nullptr || targetBitmap->info.bmBitsPixel != 32) {
        return FALSE;
    }
    const QImage picture = PictureRegion(info, int(left), int(top), int(right - left), int(bottom - top));
    if (picture.isNull()) {
        return FALSE;
    }
    const BITMAP& out = targetBitmap->info;
    QImage canvas(static_cast<uchar*>(out.bmBits), out.bmWidth, out.bmHeight, out.bmWidthBytes, QImage::Format_RGB32);
    QPainter painter(&canvas);
    // Picture coordinates run top-down; the bitmap stores its bottom row first.
    painter.translate(0, out.bmHeight);
    painter.scale(1, -1);
    Draw(painter, destination->GetStretchMode(), target, picture);
    return TRUE;
}
