#include "image/image.h"

#include <cstdlib>
#include <cstring>

namespace {

// Largest image Ferrox allocates: 2^28 pixels (1 GiB at 32 bits). Also bounds each side, so that a
// row length and a row count both fit comfortably in int.
constexpr long long kMaxImagePixels = 1LL << 28;

bool isSaneSize(int width, int height) {
    return width >= 0 && height >= 0 && width <= kMaxImagePixels && height <= kMaxImagePixels &&
           static_cast<long long>(width) * height <= kMaxImagePixels;
}

void fillRecord(Image* image, int width, int height, PixelFormat format, int pitch, std::uint8_t* pixels,
                const Color32* palette, int count) {
    image->width = width;
    image->height = height;
    image->format = format;
    image->pitch = pitch;
    image->pixels = pixels;
    std::memset(image->palette, 0, sizeof(image->palette));
    if (palette != nullptr && count > 0) {
        const int copied = count < 256 ? count : 256;
        std::memcpy(image->palette, palette, static_cast<std::size_t>(copied) * sizeof(Color32));
    }
}

// Clamps a palette range to the 256 entries; returns the number of entries it covers.
int paletteRangeCount(int firstIndex, int count) {
    if (firstIndex < 0 || firstIndex >= 256 || count <= 0) {
        return 0;
    }
    return count < 256 - firstIndex ? count : 256 - firstIndex;
}

}  // namespace

Image* createImage(int width, int height, PixelFormat format, const Color32* palette, int count) {
    if (!isSaneSize(width, height)) {
        return nullptr;
    }
    const int pitch = packedRowBytes(width, format);
    const std::size_t pixelBytes = static_cast<std::size_t>(height) * static_cast<std::size_t>(pitch);
    // calloc: new images start with zeroed pixels, so no uninitialised memory reaches a caller.
    void* block = std::calloc(1, sizeof(Image) + pixelBytes);
    if (block == nullptr) {
        return nullptr;
    }
    Image* image = static_cast<Image*>(block);
    fillRecord(image, width, height, format, pitch, static_cast<std::uint8_t*>(block) + sizeof(Image), palette,
               count);
    return image;
}

Image* createImage(int width, int height, PixelFormat format) {
    return createImage(width, height, format, nullptr, 0);
}

Image* createImageHeader(int width, int height, PixelFormat format, const Color32* palette, int count,
                         std::uint8_t* pixels, int pitch) {
    if (!isSaneSize(width, height)) {
        return nullptr;
    }
    Image* image = static_cast<Image*>(std::malloc(sizeof(Image)));
    if (image == nullptr) {
        return nullptr;
    }
    fillRecord(image, width, height, format, pitch, pixels, palette, count);
    return image;
}

Image* destroyImage(Image* image) {
    std::free(image);  // an owning image's pixels share the record's allocation
    return nullptr;
}

int setImagePalette(Image* image, int firstIndex, const Color32* entries, int count) {
    if (image == nullptr || entries == nullptr) {
        return 0;
    }
    const int copied = paletteRangeCount(firstIndex, count);
    if (copied > 0) {
        std::memcpy(&image->palette[firstIndex], entries, static_cast<std::size_t>(copied) * sizeof(Color32));
    }
    return copied;
}

int getImagePalette(const Image* image, int firstIndex, Color32* entries, int count) {
    if (image == nullptr || entries == nullptr) {
        return 0;
    }
    const int copied = paletteRangeCount(firstIndex, count);
    if (copied > 0) {
        std::memcpy(entries, &image->palette[firstIndex], static_cast<std::size_t>(copied) * sizeof(Color32));
    }
    return copied;
}
