// Line drawing for the rasterizer's edge overlay: a DDA in 16.16 fixed point.

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "image/surface.h"

namespace {

// Lines of more steps are not drawn at all.
constexpr long long kMaxLineSteps = 1000;

}  // namespace

void Surface::drawLine(int x0, int y0, int x1, int y1, std::uint32_t value) const {
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    if (y1 < 0 || (x0 < 0 && x1 < 0) || y0 > m_height || (x0 > m_width && x1 > m_width)) {
        return;
    }
    // 64-bit throughout: differences and 16.16 positions of extreme end points must not overflow.
    const long long dx = static_cast<long long>(x1) - x0;
    const long long dy = static_cast<long long>(y1) - y0;
    const long long steps = std::max(std::llabs(dx), dy) + 1;
    if (steps > kMaxLineSteps) {
        return;
    }
    const long long stepX = dx * 65536 / steps;
    const long long stepY = dy * 65536 / steps;
    long long x = static_cast<long long>(x0) * 65536;
    long long y = static_cast<long long>(y0) * 65536;
    for (long long i = 0; i < steps; ++i) {
        putPixel(static_cast<int>(x >> 16), static_cast<int>(y >> 16), value);  // clips to the surface
        x += stepX;
        y += stepY;
    }
}
