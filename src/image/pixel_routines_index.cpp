// Raw index formats: the low bits of the value, stored little-endian and read back zero-extended.
// Also the pair for layouts without pixels (UNKNOWN, 17, ZBUFFER32): no write, zero read.

#include "image/pixel_access.h"
#include "image/pixel_routines.h"

void putNothing(const Surface&, int, int, std::uint32_t) {}

std::uint32_t getNothing(const Surface&, int, int) { return 0; }

void putINDEX32(const Surface& surface, int x, int y, std::uint32_t value) {
    store32(pixelAddress(surface, x, y, 4), value);
}

std::uint32_t getINDEX32(const Surface& surface, int x, int y) { return load32(pixelAddress(surface, x, y, 4)); }

void putINDEX24(const Surface& surface, int x, int y, std::uint32_t value) {
    store24(pixelAddress(surface, x, y, 3), value);
}

std::uint32_t getINDEX24(const Surface& surface, int x, int y) { return load24(pixelAddress(surface, x, y, 3)); }

void putINDEX16(const Surface& surface, int x, int y, std::uint32_t value) {
    store16(pixelAddress(surface, x, y, 2), value);
}

std::uint32_t getINDEX16(const Surface& surface, int x, int y) { return load16(pixelAddress(surface, x, y, 2)); }

void putINDEX8(const Surface& surface, int x, int y, std::uint32_t value) {
    *pixelAddress(surface, x, y, 1) = static_cast<std::uint8_t>(value);
}

std::uint32_t getINDEX8(const Surface& surface, int x, int y) { return *pixelAddress(surface, x, y, 1); }

void putINDEX4(const Surface& surface, int x, int y, std::uint32_t value) {
    const int shift = nibbleShift(x);
    std::uint8_t* byte = nibbleByte(surface, x, y);
    *byte = static_cast<std::uint8_t>((*byte & ~(0xFu << shift)) | (value & 0xFu) << shift);
}

std::uint32_t getINDEX4(const Surface& surface, int x, int y) {
    return *nibbleByte(surface, x, y) >> nibbleShift(x) & 0xFu;
}
