#include "image/color_math.h"

namespace {

constexpr Color32 kEvenChannels = 0x00FF00FFu;  // blue and red: two channels per 32-bit multiply

std::uint32_t channel(Color32 c, int shift) { return c >> shift & 0xFFu; }

}  // namespace

Color32 lerpColor(Color32 a, Color32 b, int f) {
    const std::uint32_t weight = f < 0 ? 0u : f > 256 ? 256u : static_cast<std::uint32_t>(f);
    const std::uint32_t keep = 256 - weight;
    // Each 16-bit lane holds at most 255 * 256, so the two channels of a multiply never meet.
    const std::uint32_t even = ((a & kEvenChannels) * keep + (b & kEvenChannels) * weight) >> 8 & kEvenChannels;
    const std::uint32_t odd = ((a >> 8 & kEvenChannels) * keep + (b >> 8 & kEvenChannels) * weight) & ~kEvenChannels;
    return even | odd;
}

Color32 modulateColor(Color32 a, Color32 b) {
    Color32 result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        result |= (channel(a, shift) * channel(b, shift) >> 8) << shift;
    }
    return result;
}

Color32 addColorSaturate(Color32 a, Color32 b) {
    Color32 result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t sum = channel(a, shift) + channel(b, shift);
        result |= (sum > 255 ? 255u : sum) << shift;
    }
    return result;
}

Color32 subtractColorClamp(Color32 a, Color32 b) {
    Color32 result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t x = channel(a, shift);
        const std::uint32_t y = channel(b, shift);
        result |= (x > y ? x - y : 0u) << shift;
    }
    return result;
}
