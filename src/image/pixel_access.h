#pragma once
// Addressing and little-endian loads and stores shared by the per-format pixel routines. Stored
// pixels need not be aligned (rows are tightly packed), so every access goes through memcpy.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/surface.h"

inline std::uint8_t* pixelAddress(const Surface& surface, int x, int y, int bytesPerPixel) {
    return surface.rowAddress(y) + static_cast<std::ptrdiff_t>(x) * bytesPerPixel;
}

inline std::uint32_t load32(const std::uint8_t* p) {
    std::uint32_t value;
    std::memcpy(&value, p, 4);
    return value;
}

inline void store32(std::uint8_t* p, std::uint32_t value) { std::memcpy(p, &value, 4); }

inline std::uint32_t load16(const std::uint8_t* p) { return p[0] | static_cast<std::uint32_t>(p[1]) << 8; }

inline void store16(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

inline std::uint32_t load24(const std::uint8_t* p) {
    return p[0] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16;
}

inline void store24(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
}

// Sub-byte pixel x of a 4-bit row: an even x in the high nibble, an odd x in the low nibble.
inline int nibbleShift(int x) { return (x & 1) != 0 ? 0 : 4; }

inline std::uint8_t* nibbleByte(const Surface& surface, int x, int y) { return surface.rowAddress(y) + (x >> 1); }

// Exchanges the red byte (23-16) and the blue byte (7-0) of a Color32.
inline std::uint32_t swapRedBlueBytes(std::uint32_t value) {
    return (value & 0xFF00FF00u) | (value >> 16 & 0xFFu) | (value & 0xFFu) << 16;
}
