// Grey, palette and one-bit formats. Palette writes search for the nearest entry, so they are slow;
// Ferrox only writes palettised pixels when converting whole images.

#include "image/pixel_access.h"
#include "image/pixel_routines.h"

namespace {

int channelDifference(Color32 a, Color32 b, int shift) {
    return static_cast<int>(a >> shift & 0xFFu) - static_cast<int>(b >> shift & 0xFFu);
}

}  // namespace

int nearestPaletteIndex(const Color32* palette, int candidateCount, Color32 value) {
    int best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < candidateCount; ++i) {
        const int dr = channelDifference(value, palette[i], 16);
        const int dg = channelDifference(value, palette[i], 8);
        const int db = channelDifference(value, palette[i], 0);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {  // strictly smaller: ties keep the lowest index
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

void putGRAYSCALE8(const Surface& surface, int x, int y, std::uint32_t value) {
    const std::uint32_t sum = (value >> 16 & 0xFFu) + (value >> 8 & 0xFFu) + (value & 0xFFu);
    *pixelAddress(surface, x, y, 1) = static_cast<std::uint8_t>(sum / 3);
}

std::uint32_t getGRAYSCALE8(const Surface& surface, int x, int y) {
    return 0xFF000000u | *pixelAddress(surface, x, y, 1) * 0x010101u;
}

void putPALETTE8(const Surface& surface, int x, int y, std::uint32_t value) {
    *pixelAddress(surface, x, y, 1) = static_cast<std::uint8_t>(nearestPaletteIndex(surface.palette(), 256, value));
}

std::uint32_t getPALETTE8(const Surface& surface, int x, int y) {
    return surface.palette()[*pixelAddress(surface, x, y, 1)];
}

void putPALETTE4(const Surface& surface, int x, int y, std::uint32_t value) {
    const int shift = nibbleShift(x);
    std::uint8_t* byte = nibbleByte(surface, x, y);
    const auto index = static_cast<unsigned>(nearestPaletteIndex(surface.palette(), 16, value));
    *byte = static_cast<std::uint8_t>((*byte & ~(0xFu << shift)) | index << shift);
}

std::uint32_t getPALETTE4(const Surface& surface, int x, int y) {
    return surface.palette()[*nibbleByte(surface, x, y) >> nibbleShift(x) & 0xFu];
}

void putMONOCHROME(const Surface& surface, int x, int y, std::uint32_t value) {
    std::uint8_t* byte = surface.rowAddress(y) + (x >> 3);
    const auto mask = static_cast<std::uint8_t>(0x80u >> (x & 7));  // most significant bit first
    *byte = static_cast<std::uint8_t>(value != 0 ? (*byte | mask) : (*byte & ~mask));
}

std::uint32_t getMONOCHROME(const Surface& surface, int x, int y) {
    const std::uint8_t byte = surface.rowAddress(y)[x >> 3];
    return surface.palette()[(byte & (0x80u >> (x & 7))) != 0 ? 1 : 0];
}
