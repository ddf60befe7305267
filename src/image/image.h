#pragma once
// Image: a plain record of pixels in one PixelFormat plus a 256-entry palette. An owning image is
// one allocation with its pixels directly after the record; a header-only image points elsewhere.

#include <cstdint>

#include "image/pixel_format.h"

struct Image {
    std::int32_t width;
    std::int32_t height;
    PixelFormat format;
    std::int32_t pitch;      // bytes from one row to the next
    std::uint8_t* pixels;    // first byte of row 0
    Color32 palette[256];    // for PALETTE8, PALETTE4 and MONOCHROME; carried for every format
};

// New images have zeroed pixels and palette; min(count, 256) entries are copied from palette.
// None for a size that is negative, too large, or when allocation fails.
Image* createImage(int width, int height, PixelFormat format, const Color32* palette, int count);
Image* createImage(int width, int height, PixelFormat format);
// The record points at the caller's pixels; none for a negative or too large size.
Image* createImageHeader(int width, int height, PixelFormat format, const Color32* palette, int count,
                         std::uint8_t* pixels, int pitch);
// Frees the record (and its pixels when it owns them); returns null for the caller to store.
Image* destroyImage(Image* image);

// Copy count entries from firstIndex, clipped to the 256 entries; return the number copied (0 for
// an absent image or buffer).
int setImagePalette(Image* image, int firstIndex, const Color32* entries, int count);
int getImagePalette(const Image* image, int firstIndex, Color32* entries, int count);
