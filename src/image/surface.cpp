#include "image/surface.h"

#include <algorithm>
#include <cstring>

namespace {

long long ceilDivide(long long numerator, long long denominator) {  // both positive
    return (numerator + denominator - 1) / denominator;
}

// The samples i in [first, end) whose positions u + i * du lie in [0, limit). The positions run
// monotonically in i, so the inside samples form one run. All 64-bit: no step can wrap.
void insideRun(long long u, long long du, long long limit, long long& first, long long& end) {
    if (du > 0) {
        first = u >= 0 ? 0 : ceilDivide(-u, du);
        end = u >= limit ? 0 : ceilDivide(limit - u, du);
    } else if (du < 0) {
        const long long step = -du;
        first = u < limit ? 0 : (u - limit) / step + 1;
        end = u < 0 ? 0 : u / step + 1;
    } else {
        const bool inside = u >= 0 && u < limit;
        first = 0;
        end = inside ? 0x7FFFFFFF : 0;
    }
}

void zeroFill(std::uint32_t* out, long long count) {
    if (count > 0) {
        std::memset(out, 0, static_cast<std::size_t>(count) * sizeof(std::uint32_t));
    }
}

}  // namespace

Surface::Surface() { selectRoutines(UNKNOWN); }

Surface::~Surface() = default;

void Surface::selectRoutines(PixelFormat format) {
    const PixelRoutines& routines = pixelRoutinesFor(format);
    m_format = format;
    m_putPixel = routines.putPixel;
    m_getPixel = routines.getPixel;
    m_putSpan = routines.putSpan;
    m_getSpanStepped = routines.getSpanStepped;
}

void Surface::attach(std::uint8_t* pixels, int width, int height, PixelFormat format, int pitch,
                     const Color32* palette, int count) {
    m_sourceImage = nullptr;
    // Without pixels, or with a negative side, there is nothing to reach: an empty surface keeps
    // the unsigned bounds tests of every access meaningful.
    const bool empty = pixels == nullptr || width <= 0 || height <= 0;
    m_width = empty ? 0 : width;
    m_height = empty ? 0 : height;
    m_pitch = pitch;
    m_pixels = pixels;
    selectRoutines(format);
    const int copied = palette != nullptr ? std::clamp(count, 0, 256) : 0;
    if (copied > 0) {
        std::memmove(m_palette, palette, static_cast<std::size_t>(copied) * 4);  // may be our own
    }
    std::memset(m_palette + copied, 0, static_cast<std::size_t>(256 - copied) * 4);
}

void Surface::attachNoPalette(std::uint8_t* pixels, int width, int height, PixelFormat format, int pitch) {
    attach(pixels, width, height, format, pitch, nullptr, 0);
}

void Surface::attachImage(Image* image) {
    if (image == nullptr) {
        detach();
        return;
    }
    attach(image->pixels, image->width, image->height, image->format, image->pitch, image->palette, 256);
    m_sourceImage = image;
}

void Surface::detach() { attach(nullptr, 0, 0, UNKNOWN, 0, nullptr, 0); }

void Surface::putPixel(int x, int y, std::uint32_t value) const {
    if (contains(x, y)) {
        m_putPixel(*this, x, y, value);
    }
}

std::uint32_t Surface::getPixel(int x, int y) const { return contains(x, y) ? m_getPixel(*this, x, y) : 0; }

void Surface::putSpanClipped(const std::uint32_t* values, int x, int y, int count) const {
    if (values == nullptr || count <= 0 || !contains(0, y)) {
        return;
    }
    long long start = x;  // 64-bit: -x and width - x must not overflow for extreme x
    long long remaining = count;
    if (start < 0) {
        if (remaining <= -start) {
            return;
        }
        values += -start;
        remaining += start;
        start = 0;
    }
    remaining = std::min(remaining, static_cast<long long>(m_width) - start);
    if (remaining > 0) {
        m_putSpan(*this, values, static_cast<int>(start), y, static_cast<int>(remaining));
    }
}

void Surface::getSpanClipped(std::uint32_t* out, int u, int y, int count, int du) const {
    if (out == nullptr || count <= 0) {
        return;
    }
    long long first = 0;
    long long end = 0;
    if (contains(0, y)) {
        // Columns from 2^19 on are never read, so every position of the run fits in an int.
        const long long limit = static_cast<long long>(std::min(m_width, kMaxSteppedColumns)) << 12;
        insideRun(u, du, limit, first, end);
        first = std::min<long long>(first, count);
        end = std::min<long long>(end, count);
    }
    if (first >= end) {
        zeroFill(out, count);
        return;
    }
    zeroFill(out, first);
    m_getSpanStepped(*this, out + first, static_cast<int>(u + first * du), y, static_cast<int>(end - first), du);
    zeroFill(out + end, count - end);
}
