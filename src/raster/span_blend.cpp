// Alpha blending: each channel (alpha included) becomes ((a x src) >> 8) + (((256 - a) x dst) >> 8),
// saturated, with a the source alpha and dst the render target's pixel as A8R8G8B8. Every product
// fits in 16 bits, so the SSE form needs no wider lanes.
#include <cstddef>
#include <cstring>
#include <emmintrin.h>

#include "image/surface.h"
#include "raster/span_context.h"
#include "raster/span_stages.h"

namespace {

// The span's destination pixels as 32-bit A8R8G8B8 values ending at the returned address. A 32-bit
// target is read in place; any other is converted into a scratch row first, so nothing outside the
// row's span is read.
const std::uint8_t* DestinationEnd(const SpanContext& c) {
    if (c.colorBytesPerPixel == 4) return c.colorEnd;
    alignas(16) static Color32 scratch[kSpanArrayLength];
    Surface span;  // the span's own pixels as a one-row surface
    span.attachNoPalette(c.colorEnd - static_cast<std::ptrdiff_t>(c.spanLength) * c.colorBytesPerPixel,
                         c.spanLength, 1, c.target.format, c.target.pitch);
    span.getSpanClipped(scratch, 0, 0, c.spanLength, 1 << 12);  // one column per sample, 20.12
    span.detach();
    return reinterpret_cast<const std::uint8_t*>(scratch + c.spanLength);
}

Color32 BlendPixel(Color32 source, Color32 destination) {
    const std::uint32_t a = source >> 24;
    Color32 out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        std::uint32_t v = ((a * (source >> shift & 0xFFu)) >> 8) + (((256u - a) * (destination >> shift & 0xFFu)) >> 8);
        if (v > 255u) v = 255u;
        out |= v << shift;
    }
    return out;
}

void BlendSpanScalar() {
    SpanContext& c = g_spanContext;
    const std::uint8_t* destination = DestinationEnd(c);
    for (int i = -c.spanLength; i < 0; ++i) {
        Color32 dst;
        std::memcpy(&dst, destination + 4 * i, sizeof dst);
        c.currentEnd[i] = BlendPixel(c.currentEnd[i], dst);
    }
}

// Two pixels in 16-bit lanes: the source alpha word spread over its pixel's four words.
__m128i BlendPair(__m128i source, __m128i destination) {
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(source, 0xFF), 0xFF);
    const __m128i keep = _mm_sub_epi16(_mm_set1_epi16(256), alpha);
    return _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(source, alpha), 8),
                         _mm_srli_epi16(_mm_mullo_epi16(destination, keep), 8));
}

__m128i BlendGroup(__m128i source, __m128i destination) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = BlendPair(_mm_unpacklo_epi8(source, zero), _mm_unpacklo_epi8(destination, zero));
    const __m128i high = BlendPair(_mm_unpackhi_epi8(source, zero), _mm_unpackhi_epi8(destination, zero));
    return _mm_packus_epi16(low, high);
}

// Whole groups read four destination pixels at once; the last one to three pixels are copied out
// first, so the row is never read past the span.
void BlendSpanSse() {
    SpanContext& c = g_spanContext;
    const std::uint8_t* destination = DestinationEnd(c);
    int i = -c.spanLength;
    for (; i <= -4; i += 4) {
        const __m128i src = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.currentEnd + i));
        const __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination + 4 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(c.currentEnd + i), BlendGroup(src, dst));
    }
    if (i < 0) {
        alignas(16) Color32 tail[4] = {};
        std::memcpy(tail, destination + 4 * i, static_cast<std::size_t>(-i) * 4);
        const __m128i src = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.currentEnd + i));
        const __m128i dst = _mm_load_si128(reinterpret_cast<const __m128i*>(tail));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(c.currentEnd + i), BlendGroup(src, dst));
    }
}

}  // namespace

void BlendSpan() {
    if (g_spanContext.ssePath != 0) BlendSpanSse();
    else BlendSpanScalar();
}
