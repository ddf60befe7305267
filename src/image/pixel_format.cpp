#include "image/pixel_format.h"

#include "image/small_string.h"

namespace {

struct FormatInfo {
    const char* name;  // null for the unassigned value 17
    int bits;
    std::uint32_t alphaMask;
    std::uint32_t redMask;
    std::uint32_t greenMask;
    std::uint32_t blueMask;
};

// Indexed by PixelFormat; a format without masks has all four masks 0.
constexpr FormatInfo kFormats[kPixelFormatCount] = {
    {"UNKNOWN", 0, 0, 0, 0, 0},
    {"A8R8G8B8", 32, 0xFF000000u, 0x00FF0000u, 0x0000FF00u, 0x000000FFu},
    {"X8R8G8B8", 32, 0, 0x00FF0000u, 0x0000FF00u, 0x000000FFu},
    {"R8G8B8", 24, 0, 0x00FF0000u, 0x0000FF00u, 0x000000FFu},
    {"A4R4G4B4", 16, 0xF000u, 0x0F00u, 0x00F0u, 0x000Fu},
    {"X4R4G4B4", 16, 0, 0x0F00u, 0x00F0u, 0x000Fu},
    {"A1R5G5B5", 16, 0x8000u, 0x7C00u, 0x03E0u, 0x001Fu},
    {"X1R5G5B5", 16, 0, 0x7C00u, 0x03E0u, 0x001Fu},
    {"R5G6B5", 16, 0, 0xF800u, 0x07E0u, 0x001Fu},
    {"A8B8G8R8", 32, 0xFF000000u, 0x000000FFu, 0x0000FF00u, 0x00FF0000u},
    {"X8B8G8R8", 32, 0, 0x000000FFu, 0x0000FF00u, 0x00FF0000u},
    {"B8G8R8", 24, 0, 0x000000FFu, 0x0000FF00u, 0x00FF0000u},
    {"A4B4G4R4", 16, 0xF000u, 0x000Fu, 0x00F0u, 0x0F00u},
    {"X4B4G4R4", 16, 0, 0x000Fu, 0x00F0u, 0x0F00u},
    {"A1B5G5R5", 16, 0x8000u, 0x001Fu, 0x03E0u, 0x7C00u},
    {"X1B5G5R5", 16, 0, 0x001Fu, 0x03E0u, 0x7C00u},
    {"B5G6R5", 16, 0, 0x001Fu, 0x07E0u, 0xF800u},
    {nullptr, 0, 0, 0, 0, 0},
    {"GRAYSCALE8", 8, 0, 0xFFu, 0xFFu, 0xFFu},
    {"PALETTE8", 8, 0, 0, 0, 0},
    {"PALETTE4", 4, 0, 0, 0, 0},
    {"MONOCHROME", 1, 0, 0x1u, 0x1u, 0x1u},
    {"INDEX32", 32, 0, 0, 0, 0},
    {"INDEX24", 24, 0, 0, 0, 0},
    {"INDEX16", 16, 0, 0, 0, 0},
    {"INDEX8", 8, 0, 0, 0, 0},
    {"INDEX4", 4, 0, 0, 0, 0},
    {"ZBUFFER32", 32, 0, 0, 0, 0},
};

const FormatInfo* infoFor(PixelFormat format) {
    return format < kPixelFormatCount ? &kFormats[format] : nullptr;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (lowerAscii(*a) != lowerAscii(*b)) {
            return false;
        }
    }
    return *a == *b;
}

}  // namespace

int bitsPerPixel(PixelFormat format) {
    const FormatInfo* info = infoFor(format);
    return info != nullptr ? info->bits : 0;
}

int packedRowBytes(int width, PixelFormat format) {
    if (width <= 0) {
        return 0;
    }
    // 64-bit so that a wide row cannot wrap; a length beyond int range has no valid row.
    const long long bytes = (static_cast<long long>(width) * bitsPerPixel(format) + 7) / 8;
    return bytes > 0x7FFFFFFF ? 0 : static_cast<int>(bytes);
}

PixelFormat formatFromBitCount(int bitCount) {
    switch (bitCount) {
    case 1: return MONOCHROME;
    case 4: return PALETTE4;
    case 8: return PALETTE8;
    case 16: return X1R5G5B5;
    case 24: return R8G8B8;
    case 32: return A8R8G8B8;
    default: return UNKNOWN;
    }
}

bool channelMasks(PixelFormat format, std::uint32_t& alpha, std::uint32_t& red, std::uint32_t& green,
                  std::uint32_t& blue) {
    const FormatInfo* info = infoFor(format);
    if (info == nullptr || (info->redMask | info->greenMask | info->blueMask) == 0) {
        alpha = red = green = blue = 0;
        return false;
    }
    alpha = info->alphaMask;
    red = info->redMask;
    green = info->greenMask;
    blue = info->blueMask;
    return true;
}

PixelFormat swapRedBlue(PixelFormat format) {
    if (format >= A8R8G8B8 && format <= R5G6B5) {
        return static_cast<PixelFormat>(format + 8);
    }
    if (format >= A8B8G8R8 && format <= B5G6R5) {
        return static_cast<PixelFormat>(format - 8);
    }
    return format;
}

PixelFormat alphaVariant(PixelFormat format) {
    switch (format) {
    case A8R8G8B8: case X8R8G8B8: return A8R8G8B8;
    case A4R4G4B4: case X4R4G4B4: return A4R4G4B4;
    case A1R5G5B5: case X1R5G5B5: return A1R5G5B5;
    case A8B8G8R8: case X8B8G8R8: return A8B8G8R8;
    case A4B4G4R4: case X4B4G4R4: return A4B4G4R4;
    case A1B5G5R5: case X1B5G5R5: return A1B5G5R5;
    case PALETTE8: return PALETTE8;
    case PALETTE4: return PALETTE4;
    default: return UNKNOWN;
    }
}

PixelFormat opaqueVariant(PixelFormat format) {
    switch (format) {
    case A8R8G8B8: case X8R8G8B8: return X8R8G8B8;
    case A4R4G4B4: case X4R4G4B4: return X4R4G4B4;
    case A1R5G5B5: case X1R5G5B5: return X1R5G5B5;
    case A8B8G8R8: case X8B8G8R8: return X8B8G8R8;
    case A4B4G4R4: case X4B4G4R4: return X4B4G4R4;
    case A1B5G5R5: case X1B5G5R5: return X1B5G5R5;
    default: return format;
    }
}

bool hasAlpha(PixelFormat format) { return format != UNKNOWN && alphaVariant(format) == format; }

void formatName(PixelFormat format, SmallString& out) {
    const FormatInfo* info = infoFor(format);
    if (info != nullptr && info->name != nullptr) {
        out.assign(info->name);
    }
}

PixelFormat formatFromName(const char* text) {
    if (text == nullptr) {
        return UNKNOWN;
    }
    for (std::uint32_t value = 0; value < kPixelFormatCount; ++value) {
        const char* name = kFormats[value].name;
        if (name != nullptr && equalsIgnoringCase(text, name)) {
            return static_cast<PixelFormat>(value);
        }
    }
    return UNKNOWN;
}
