// Fog: blends currentArray toward the fog colour by a factor k from the fog coordinate. The
// coordinate lies between 1 and 2, so its top eight mantissa bits grow with depth; k = f² >> 16 with
// f = those bits x 16 gives 0..254. One k serves each group of four pixels (from its first pixel).
#include <cstring>
#include <emmintrin.h>

#include "raster/span_context.h"
#include "raster/span_stages.h"

namespace {

std::uint32_t FogFactor(const float* fogCoordinate) {
    std::uint32_t bits;
    std::memcpy(&bits, fogCoordinate, sizeof bits);
    const std::uint32_t f = (bits >> 15 & 0xFFu) * 16u;
    return (f * f) >> 16;
}

// The fog colour words hold bytes; masking them keeps every product inside 16 bits in both forms.
std::uint32_t FogWord(int channel) { return g_spanContext.fogColor[channel] & 0xFFu; }

void FogSpanScalar() {
    SpanContext& c = g_spanContext;
    const std::uint32_t fog[4] = {FogWord(0), FogWord(1), FogWord(2), FogWord(3)};
    for (int i = -c.spanLength; i < 0; i += 4) {
        const std::uint32_t k = FogFactor(c.fogEnd + i);
        std::uint32_t fogTerm[4];
        for (int ch = 0; ch < 4; ++ch) fogTerm[ch] = (k * fog[ch]) >> 8;
        for (int j = 0; j < 4; ++j) {
            const Color32 pixel = c.currentEnd[i + j];
            Color32 out = 0;
            for (int ch = 0; ch < 4; ++ch) {  // B, G, R, A from bit 0 up, as in fogColor
                const std::uint32_t v = pixel >> (8 * ch) & 0xFFu;
                std::uint32_t mixed = ((v * (256u - k)) >> 8) + fogTerm[ch];
                if (mixed > 255u) mixed = 255u;
                out |= mixed << (8 * ch);
            }
            c.currentEnd[i + j] = out;
        }
    }
}

void FogSpanSse() {
    SpanContext& c = g_spanContext;
    const __m128i zero = _mm_setzero_si128();
    const __m128i fogWords = _mm_setr_epi16(static_cast<short>(FogWord(0)), static_cast<short>(FogWord(1)),
                                            static_cast<short>(FogWord(2)), static_cast<short>(FogWord(3)),
                                            static_cast<short>(FogWord(0)), static_cast<short>(FogWord(1)),
                                            static_cast<short>(FogWord(2)), static_cast<short>(FogWord(3)));
    for (int i = -c.spanLength; i < 0; i += 4) {
        const auto k = static_cast<short>(FogFactor(c.fogEnd + i));
        const __m128i keep = _mm_set1_epi16(static_cast<short>(256 - k));
        const __m128i fogTerm = _mm_srli_epi16(_mm_mullo_epi16(fogWords, _mm_set1_epi16(k)), 8);
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.currentEnd + i));
        const __m128i low = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(pixels, zero), keep), 8), fogTerm);
        const __m128i high = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(pixels, zero), keep), 8), fogTerm);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(c.currentEnd + i), _mm_packus_epi16(low, high));
    }
}

}  // namespace

void FogSpan() {
    if (g_spanContext.ssePath != 0) FogSpanSse();
    else FogSpanScalar();
}
