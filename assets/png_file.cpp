#include "png_file.h"

#include <QImage>

bool SavePngFile(const char* path, const Image* image) {
    if (image == nullptr || image->format != A8R8G8B8) return false;
    // A8R8G8B8 pixels are 0xAARRGGBB words, which is QImage's ARGB32 on a little-endian machine;
    // the view copies nothing and its rows run top first, like the image's.
    const QImage view(image->pixels, image->width, image->height, image->pitch, QImage::Format_ARGB32);
    return view.save(QString::fromLocal8Bit(path), "PNG");
}
