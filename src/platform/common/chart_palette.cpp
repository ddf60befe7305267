#include "platform/chart_palette.h"

namespace {
struct Colour {
    unsigned char red, green, blue;
};

// Okabe and Ito's blue, vermillion, bluish green and reddish purple with their orange, Paul Tol's
// cyan, indigo and purple: the eight that stay furthest apart under the three colour-vision
// deficiencies. Then eight that keep clear of them and of each other for normal vision.
constexpr Colour kColours[16] = {
    {0x00, 0x72, 0xB2}, {0xD5, 0x5E, 0x00}, {0x00, 0x9E, 0x73}, {0x33, 0xBB, 0xEE},
    {0xCC, 0x79, 0xA7}, {0xE6, 0x9F, 0x00}, {0x33, 0x22, 0x88}, {0xAA, 0x33, 0x77},
    {0x66, 0xA6, 0x1E}, {0x55, 0x55, 0x55}, {0xF9, 0x7B, 0x72}, {0x00, 0x86, 0x95},
    {0xE3, 0x1A, 0x1C}, {0x94, 0x67, 0xBD}, {0xEE, 0x33, 0x77}, {0x99, 0x99, 0x33},
};
constexpr ChartDash kDashes[4] = {ChartDash::Solid, ChartDash::Dash, ChartDash::Dot, ChartDash::DashDot};
}  // namespace

ChartLineStyle ChartLineStyleAt(std::size_t index) {
    index %= kChartLineStyles;
    const Colour& colour = kColours[(index / 32) * 8 + index % 8];
    return {colour.red, colour.green, colour.blue, kDashes[(index / 8) % 4]};
}
