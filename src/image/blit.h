#pragma once
// Scaled rectangle copies between pixels of any two formats, converting through Color32 and
// sampling nearest-neighbour in 20.12 fixed point. Both rectangles are clipped to their images, and
// any position, size or far edge of 2^19 or more (in absolute value) is refused: the copy does nothing.

#include <cstdint>

#include "image/image.h"

constexpr int kMaxBlitCoordinate = 1 << 19;

void stretchBlit(std::uint8_t* destinationPixels, int destinationX, int destinationY, int destinationW,
                 int destinationH, int destinationWidth, int destinationHeight, PixelFormat destinationFormat,
                 int destinationPitch, const std::uint8_t* sourcePixels, int sourceX, int sourceY, int sourceW,
                 int sourceH, int sourceWidth, int sourceHeight, PixelFormat sourceFormat, int sourcePitch);

// As stretchBlit, blending each source sample over the destination by the sample's alpha.
void stretchBlitBlend(std::uint8_t* destinationPixels, int destinationX, int destinationY, int destinationW,
                      int destinationH, int destinationWidth, int destinationHeight, PixelFormat destinationFormat,
                      int destinationPitch, const std::uint8_t* sourcePixels, int sourceX, int sourceY, int sourceW,
                      int sourceH, int sourceWidth, int sourceHeight, PixelFormat sourceFormat, int sourcePitch);

// Image forms: load the two images' palettes into the blit palettes, then copy. Nothing when either
// image is absent.
void blitImage(Image* destination, int destinationX, int destinationY, int destinationW, int destinationH,
               const Image* source, int sourceX, int sourceY, int sourceW, int sourceH);
void blitImageWhole(Image* destination, const Image* source);
void blendImage(Image* destination, int destinationX, int destinationY, int destinationW, int destinationH,
                const Image* source, int sourceX, int sourceY, int sourceW, int sourceH);
void blendImageWhole(Image* destination, const Image* source);

// The palettes the copies attach their source and destination with (process-wide, rendering thread
// only). Each copies min(count, 256) entries; later entries keep their values. Returns the number copied.
int setBlitSourcePalette(const Color32* entries, int count);
int setBlitDestinationPalette(const Color32* entries, int count);
