// The span's vertex colour: the triangle's flat colour, or the Gouraud colour of each pixel from the
// interpolated diffuse x rhw multiplied back by the pixel's w. Four pixels per group from the
// span's first pixel; the last group may write up to three entries past the span.
#include <emmintrin.h>

#include "raster/span_context.h"
#include "raster/span_stages.h"

namespace {

void FillSpanFlatScalar() {
    SpanContext& c = g_spanContext;
    for (int i = -c.spanLength; i < 0; i += 4)
        for (int j = 0; j < 4; ++j) c.diffuseEnd[i + j] = c.flatColor[j];
}

void FillSpanFlatSse() {
    SpanContext& c = g_spanContext;
    const __m128i flat = _mm_load_si128(reinterpret_cast<const __m128i*>(c.flatColor));
    for (int i = -c.spanLength; i < 0; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(c.diffuseEnd + i), flat);
}

// Channels are limited to 0..255 (NaN to 0) before the conversion, so no value out of int range is
// ever converted and no channel spills into its neighbour; the conversion then rounds in the draw's
// mode (to nearest on the scalar path).
std::uint32_t ConvertChannel(float v) {
    const float limited = v > 0.0f ? (v < 255.0f ? v : 255.0f) : 0.0f;
    return static_cast<std::uint32_t>(_mm_cvtss_si32(_mm_set_ss(limited)));
}

void ShadeSpanGouraudScalar() {
    SpanContext& c = g_spanContext;
    float start[4][4];
    for (int ch = 0; ch < 4; ++ch)
        for (int j = 0; j < 4; ++j) start[ch][j] = c.diffuseStart[ch][j];
    for (int i = -c.spanLength; i < 0; i += 4) {
        for (int j = 0; j < 4; ++j) {
            const float w = c.wEnd[i + j];
            const std::uint32_t a = ConvertChannel(start[0][j] * w);
            const std::uint32_t r = ConvertChannel(start[1][j] * w);
            const std::uint32_t g = ConvertChannel(start[2][j] * w);
            const std::uint32_t b = ConvertChannel(start[3][j] * w);
            c.diffuseEnd[i + j] = a << 24 | r << 16 | g << 8 | b;
        }
        for (int ch = 0; ch < 4; ++ch)
            for (int j = 0; j < 4; ++j) start[ch][j] += c.diffuseStep4[ch][j];
    }
}

// The same limits (MAXPS sends NaN to 0) and the conversion in the draw's rounding mode (toward
// negative infinity on the SSE path); the saturating packs then only gather the bytes.
__m128 Limit(__m128 v, __m128 zero, __m128 top) { return _mm_min_ps(_mm_max_ps(v, zero), top); }

void ShadeSpanGouraudSse() {
    SpanContext& c = g_spanContext;
    __m128 a = _mm_load_ps(c.diffuseStart[0]);
    __m128 r = _mm_load_ps(c.diffuseStart[1]);
    __m128 g = _mm_load_ps(c.diffuseStart[2]);
    __m128 b = _mm_load_ps(c.diffuseStart[3]);
    const __m128 stepA = _mm_load_ps(c.diffuseStep4[0]);
    const __m128 stepR = _mm_load_ps(c.diffuseStep4[1]);
    const __m128 stepG = _mm_load_ps(c.diffuseStep4[2]);
    const __m128 stepB = _mm_load_ps(c.diffuseStep4[3]);
    const __m128 zero = _mm_setzero_ps();
    const __m128 top = _mm_set1_ps(255.0f);
    for (int i = -c.spanLength; i < 0; i += 4) {
        const __m128 w = _mm_loadu_ps(c.wEnd + i);
        const __m128i ia = _mm_cvtps_epi32(Limit(_mm_mul_ps(a, w), zero, top));
        const __m128i ir = _mm_cvtps_epi32(Limit(_mm_mul_ps(r, w), zero, top));
        const __m128i ig = _mm_cvtps_epi32(Limit(_mm_mul_ps(g, w), zero, top));
        const __m128i ib = _mm_cvtps_epi32(Limit(_mm_mul_ps(b, w), zero, top));
        // Bytes B0-3 R0-3 G0-3 A0-3, then interleaved to B G R A per pixel.
        const __m128i planes = _mm_packus_epi16(_mm_packs_epi32(ib, ir), _mm_packs_epi32(ig, ia));
        const __m128i pairs = _mm_unpacklo_epi8(planes, _mm_srli_si128(planes, 8));
        const __m128i pixels = _mm_unpacklo_epi16(pairs, _mm_srli_si128(pairs, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(c.diffuseEnd + i), pixels);
        a = _mm_add_ps(a, stepA);
        r = _mm_add_ps(r, stepR);
        g = _mm_add_ps(g, stepG);
        b = _mm_add_ps(b, stepB);
    }
}

}  // namespace

void FillSpanFlat() {
    if (g_spanContext.ssePath != 0) FillSpanFlatSse();
    else FillSpanFlatScalar();
}

void ShadeSpanGouraud() {
    if (g_spanContext.ssePath != 0) ShadeSpanGouraudSse();
    else ShadeSpanGouraudScalar();
}
