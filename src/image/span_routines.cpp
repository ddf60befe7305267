// Row routines. A8R8G8B8, the layout of textures and of the colour buffer, copies words directly;
// every other format goes through its single-pixel routines.

#include <cstring>

#include "image/pixel_access.h"
#include "image/pixel_routines.h"

void putSpanA8R8G8B8(const Surface& surface, const std::uint32_t* values, int x, int y, int count) {
    std::memcpy(pixelAddress(surface, x, y, 4), values, static_cast<std::size_t>(count) * 4);
}

// No bounds check of its own: Surface::getSpanClipped hands it only runs whose every column lies
// inside the row.
void getSpanSteppedA8R8G8B8(const Surface& surface, std::uint32_t* out, int u, int y, int count, int du) {
    const std::uint8_t* row = surface.rowAddress(y);
    if (du == 4096) {  // one column per sample: a straight row copy
        std::memcpy(out, row + static_cast<std::ptrdiff_t>(u >> 12) * 4, static_cast<std::size_t>(count) * 4);
        return;
    }
    long long position = u;  // 64-bit: the step after the last sample must not overflow
    for (int i = 0; i < count; ++i) {
        out[i] = load32(row + (position >> 12) * 4);
        position += du;
    }
}

void putSpanGeneric(const Surface& surface, const std::uint32_t* values, int x, int y, int count) {
    const PutPixelRoutine putPixel = pixelRoutinesFor(surface.format()).putPixel;
    for (int i = 0; i < count; ++i) {
        putPixel(surface, x + i, y, values[i]);
    }
}

void getSpanSteppedGeneric(const Surface& surface, std::uint32_t* out, int u, int y, int count, int du) {
    const GetPixelRoutine getPixel = pixelRoutinesFor(surface.format()).getPixel;
    const bool rowInside = static_cast<unsigned>(y) < static_cast<unsigned>(surface.height());
    const auto width = static_cast<unsigned long long>(surface.width() > 0 ? surface.width() : 0);
    long long position = u;
    for (int i = 0; i < count; ++i) {
        const long long column = position >> 12;
        out[i] = rowInside && static_cast<unsigned long long>(column) < width
                     ? getPixel(surface, static_cast<int>(column), y)
                     : 0;
        position += du;
    }
}
