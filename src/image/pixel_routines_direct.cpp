// 32- and 24-bit direct formats. The BGR family stores red and blue exchanged; how alpha reads back
// differs per layout (X8R8G8B8 forces 0xFF, X8B8G8R8 returns the stored top byte, B8G8R8 reads 0).

#include "image/pixel_access.h"
#include "image/pixel_routines.h"

void putA8R8G8B8(const Surface& surface, int x, int y, std::uint32_t value) {
    store32(pixelAddress(surface, x, y, 4), value);
}

std::uint32_t getA8R8G8B8(const Surface& surface, int x, int y) { return load32(pixelAddress(surface, x, y, 4)); }

void putX8R8G8B8(const Surface& surface, int x, int y, std::uint32_t value) {
    store32(pixelAddress(surface, x, y, 4), value & 0x00FFFFFFu);
}

std::uint32_t getX8R8G8B8(const Surface& surface, int x, int y) {
    return load32(pixelAddress(surface, x, y, 4)) | 0xFF000000u;
}

void putR8G8B8(const Surface& surface, int x, int y, std::uint32_t value) {
    store24(pixelAddress(surface, x, y, 3), value);  // memory order blue, green, red
}

std::uint32_t getR8G8B8(const Surface& surface, int x, int y) {
    return load24(pixelAddress(surface, x, y, 3)) | 0xFF000000u;
}

void putA8B8G8R8(const Surface& surface, int x, int y, std::uint32_t value) {
    store32(pixelAddress(surface, x, y, 4), swapRedBlueBytes(value));
}

std::uint32_t getA8B8G8R8(const Surface& surface, int x, int y) {
    return swapRedBlueBytes(load32(pixelAddress(surface, x, y, 4)));
}

void putX8B8G8R8(const Surface& surface, int x, int y, std::uint32_t value) {
    store32(pixelAddress(surface, x, y, 4), swapRedBlueBytes(value) & 0x00FFFFFFu);
}

std::uint32_t getX8B8G8R8(const Surface& surface, int x, int y) {
    return swapRedBlueBytes(load32(pixelAddress(surface, x, y, 4)));
}

void putB8G8R8(const Surface& surface, int x, int y, std::uint32_t value) {
    store24(pixelAddress(surface, x, y, 3), swapRedBlueBytes(value));  // memory order red, green, blue
}

std::uint32_t getB8G8R8(const Surface& surface, int x, int y) {
    return swapRedBlueBytes(load24(pixelAddress(surface, x, y, 3)));
}
