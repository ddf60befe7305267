// The Qt backend's copies (common/memory_dc.cpp checked and clipped them): the picture region
// read from the bottom-up rows and drawn with QPainter.

#include <cstring>

#include <QImage>
#include <QPainter>

#include "platform/qt/bitmap_object.h"
#include "platform/qt/paint_target.h"

namespace {
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

BOOL DrawStretchCopy(CDC* destination, const StretchCopy& copy) {
    const BITMAP& info = copy.source->info;
    const QRectF target(copy.targetLeft, copy.targetTop, copy.targetWidth, copy.targetHeight);

    if (PaintTarget* window = destination->GetPaintTarget()) {
        if (window->painter == nullptr) {
            return FALSE;
        }
        const QImage picture = PictureRegion(info, copy.left, copy.top, copy.width, copy.height);
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
    const QImage picture = PictureRegion(info, copy.left, copy.top, copy.width, copy.height);
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
