// 16-bit packed direct formats. Writes keep the top bits of each channel; reads shift each field up
// without replicating its bits (0xF reads as 0xF0), as Ferrox has always done.

#include "image/pixel_access.h"
#include "image/pixel_routines.h"

namespace {

std::uint32_t encode4444(std::uint32_t c) {
    return (c >> 16 & 0xF000u) | (c >> 12 & 0x0F00u) | (c >> 8 & 0x00F0u) | (c >> 4 & 0x000Fu);
}

std::uint32_t decode4444(std::uint32_t s) {
    return (s & 0xF000u) << 16 | (s & 0x0F00u) << 12 | (s & 0x00F0u) << 8 | (s & 0x000Fu) << 4;
}

std::uint32_t encode1555(std::uint32_t c) {
    return (c >> 16 & 0x8000u) | (c >> 9 & 0x7C00u) | (c >> 6 & 0x03E0u) | (c >> 3 & 0x001Fu);
}

std::uint32_t decode1555(std::uint32_t s) {
    return (s & 0x8000u) << 16 | (s & 0x7C00u) << 9 | (s & 0x03E0u) << 6 | (s & 0x001Fu) << 3;
}

std::uint32_t encode565(std::uint32_t c) { return (c >> 8 & 0xF800u) | (c >> 5 & 0x07E0u) | (c >> 3 & 0x001Fu); }

std::uint32_t decode565(std::uint32_t s) { return (s & 0xF800u) << 8 | (s & 0x07E0u) << 5 | (s & 0x001Fu) << 3; }

void store(const Surface& surface, int x, int y, std::uint32_t stored) {
    store16(pixelAddress(surface, x, y, 2), stored);
}

std::uint32_t load(const Surface& surface, int x, int y) { return load16(pixelAddress(surface, x, y, 2)); }

constexpr std::uint32_t kOpaque = 0xFF000000u;

}  // namespace

void putA4R4G4B4(const Surface& s, int x, int y, std::uint32_t v) { store(s, x, y, encode4444(v)); }
std::uint32_t getA4R4G4B4(const Surface& s, int x, int y) { return decode4444(load(s, x, y)); }

void putX4R4G4B4(const Surface& s, int x, int y, std::uint32_t v) { store(s, x, y, encode4444(v) & 0x0FFFu); }
std::uint32_t getX4R4G4B4(const Surface& s, int x, int y) { return decode4444(load(s, x, y) & 0x0FFFu) | kOpaque; }

void putA1R5G5B5(const Surface& s, int x, int y, std::uint32_t v) { store(s, x, y, encode1555(v)); }
std::uint32_t getA1R5G5B5(const Surface& s, int x, int y) { return decode1555(load(s, x, y)); }

void putX1R5G5B5(const Surface& s, int x, int y, std::uint32_t v) { store(s, x, y, encode1555(v) & 0x7FFFu); }
std::uint32_t getX1R5G5B5(const Surface& s, int x, int y) { return decode1555(load(s, x, y) & 0x7FFFu) | kOpaque; }

// R5G6B5 reads with alpha 0, its BGR twin with alpha 0xFF.
void putR5G6B5(const Surface& s, int x, int y, std::uint32_t v) { store(s, x, y, encode565(v)); }
std::uint32_t getR5G6B5(const Surface& s, int x, int y) { return decode565(load(s, x, y)); }

void putA4B4G4R4(const Surface& s, int x, int y, std::uint32_t v) { store(s, x, y, encode4444(swapRedBlueBytes(v))); }
std::uint32_t getA4B4G4R4(const Surface& s, int x, int y) { return swapRedBlueBytes(decode4444(load(s, x, y))); }

void putX4B4G4R4(const Surface& s, int x, int y, std::uint32_t v) {
    store(s, x, y, encode4444(swapRedBlueBytes(v)) & 0x0FFFu);
}
std::uint32_t getX4B4G4R4(const Surface& s, int x, int y) {
    return swapRedBlueBytes(decode4444(load(s, x, y) & 0x0FFFu)) | kOpaque;
}

void putA1B5G5R5(const Surface& s, int x, int y, std::uint32_t v) { store(s, x, y, encode1555(swapRedBlueBytes(v))); }
std::uint32_t getA1B5G5R5(const Surface& s, int x, int y) { return swapRedBlueBytes(decode1555(load(s, x, y))); }

void putX1B5G5R5(const Surface& s, int x, int y, std::uint32_t v) {
    store(s, x, y, encode1555(swapRedBlueBytes(v)) & 0x7FFFu);
}
std::uint32_t getX1B5G5R5(const Surface& s, int x, int y) {
    return swapRedBlueBytes(decode1555(load(s, x, y) & 0x7FFFu)) | kOpaque;
}

void putB5G6R5(const Surface& s, int x, int y, std::uint32_t v) { store(s, x, y, encode565(swapRedBlueBytes(v))); }
std::uint32_t getB5G6R5(const Surface& s, int x, int y) {
    return swapRedBlueBytes(decode565(load(s, x, y))) | kOpaque;
}
