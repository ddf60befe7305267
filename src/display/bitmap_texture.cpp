#include "display/bitmap_texture.h"

#include "display/bitmap_handles.h"
#include "image/texture.h"

Texture* LoadBitmapTexture(HINSTANCE instance, unsigned id) {
    HBITMAP bitmap = LoadImage(instance, id, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    if (bitmap == nullptr) {
        return nullptr;
    }
    const BITMAP info = GetBitmapInfo(bitmap);
    const PixelFormat sourceFormat = formatFromBitCount(info.bmBitsPixel);
    Texture* texture = createTexture(info.bmWidth, info.bmHeight, A8R8G8B8, 1);
    if (texture != nullptr) {
        texture->uploadToLevel(0, 0, 0, info.bmWidth, info.bmHeight, static_cast<const std::uint8_t*>(info.bmBits), 0,
                               0, info.bmWidth, info.bmHeight, info.bmWidth, info.bmHeight, sourceFormat,
                               info.bmWidthBytes);
    }
    DeleteObject(bitmap);
    return texture;
}
