#pragma once
// Ferrox's own catalogue of pixel layouts. The numbering is Ferrox's, not any graphics API's:
// render targets, depth buffers, texture levels and image files all name their layout by it.

#include <cstdint>

// A colour exchanged between pixel routines: 0xAARRGGBB, blue in bits 7-0.
using Color32 = std::uint32_t;

// A 32-bit value; values outside the table (17, above 27) are legal inputs with neutral results.
enum PixelFormat : std::uint32_t {
    UNKNOWN = 0,
    A8R8G8B8 = 1,
    X8R8G8B8 = 2,
    R8G8B8 = 3,
    A4R4G4B4 = 4,
    X4R4G4B4 = 5,
    A1R5G5B5 = 6,
    X1R5G5B5 = 7,
    R5G6B5 = 8,
    A8B8G8R8 = 9,
    X8B8G8R8 = 10,
    B8G8R8 = 11,
    A4B4G4R4 = 12,
    X4B4G4R4 = 13,
    A1B5G5R5 = 14,
    X1B5G5R5 = 15,
    B5G6R5 = 16,
    // 17 is unassigned and has no name.
    GRAYSCALE8 = 18,
    PALETTE8 = 19,
    PALETTE4 = 20,
    MONOCHROME = 21,
    INDEX32 = 22,
    INDEX24 = 23,
    INDEX16 = 24,
    INDEX8 = 25,
    INDEX4 = 26,
    ZBUFFER32 = 27,
};

constexpr std::uint32_t kPixelFormatCount = 28;

class SmallString;

int bitsPerPixel(PixelFormat format);
// Byte length of one tightly packed row; rows are never padded to 4 bytes.
int packedRowBytes(int width, PixelFormat format);
PixelFormat formatFromBitCount(int bitCount);
bool channelMasks(PixelFormat format, std::uint32_t& alpha, std::uint32_t& red, std::uint32_t& green,
                  std::uint32_t& blue);
PixelFormat swapRedBlue(PixelFormat format);
PixelFormat alphaVariant(PixelFormat format);
PixelFormat opaqueVariant(PixelFormat format);
bool hasAlpha(PixelFormat format);
void formatName(PixelFormat format, SmallString& out);
PixelFormat formatFromName(const char* text);
