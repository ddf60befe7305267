// The depth pre-test: moves the span's start (by whole four-pixel groups, so groups stay aligned
// with the arrays) and its end inward past the pixels whose w fails the depth compare. Depths and
// w are compared as the signed integers of their bits; a pixel passes when w <= stored depth, the
// same compare as the pixel writers, which make the exact decision for the pixels in between.
#include <bit>
#include <cstring>
#include <emmintrin.h>

#include "raster/span_context.h"
#include "raster/span_stages.h"

namespace {

std::int32_t Bits(const void* p) {
    std::int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Pixel k of the span (0 = first) passes.
bool Passes(const SpanContext& c, int k) {
    const int i = k - c.spanLength;
    return Bits(c.wEnd + i) <= Bits(c.depthEnd + 4 * i);
}

// The four pixels from k that pass, one bit each.
int PassMaskSse(const SpanContext& c, int k) {
    const int i = k - c.spanLength;
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.wEnd + i));
    const __m128i stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.depthEnd + 4 * i));
    return ~_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(w, stored))) & 0xF;
}

// The start values move by the groups skipped; rhw does not, since w and fog are re-based instead.
void AdvanceStartsScalar(SpanContext& c, float groups) {
    if (c.interpolateDiffuse != 0)
        for (int ch = 0; ch < 4; ++ch)
            for (int j = 0; j < 4; ++j) c.diffuseStart[ch][j] += groups * c.diffuseStep4[ch][j];
    for (int s = 0; s < kTextureStages; ++s)
        if (c.interpolateTex[s] != 0)
            for (int uv = 0; uv < 2; ++uv)
                for (int j = 0; j < 4; ++j) c.texStart[s][uv][j] += groups * c.texStep4[s][uv][j];
}

void AdvanceStartsSse(SpanContext& c, float groups) {
    const __m128 g = _mm_set1_ps(groups);
    auto advance = [g](float* start, const float* step) {
        _mm_store_ps(start, _mm_add_ps(_mm_load_ps(start), _mm_mul_ps(g, _mm_load_ps(step))));
    };
    if (c.interpolateDiffuse != 0)
        for (int ch = 0; ch < 4; ++ch) advance(c.diffuseStart[ch], c.diffuseStep4[ch]);
    for (int s = 0; s < kTextureStages; ++s)
        if (c.interpolateTex[s] != 0)
            for (int uv = 0; uv < 2; ++uv) advance(c.texStart[s][uv], c.texStep4[s][uv]);
}

void Trim(SpanContext& c, int first, int last, void (*advanceStarts)(SpanContext&, float)) {
    const std::int32_t start = c.spanStart;
    c.spanTrim = first & ~3;
    c.spanStart = start + c.spanTrim;
    c.spanEnd = start + last + 1;
    if (c.spanTrim != 0) advanceStarts(c, static_cast<float>(c.spanTrim) * 0.25f);
}

void TrimSpanByDepthScalar() {
    SpanContext& c = g_spanContext;
    const int length = c.spanLength;
    c.spanTrim = 0;
    int first = 0;
    while (first < length && !Passes(c, first)) ++first;
    if (first == length) {
        c.spanStart = c.spanEnd;
        return;
    }
    int last = length - 1;
    while (!Passes(c, last)) --last;
    Trim(c, first, last, AdvanceStartsScalar);
}

// Four pixels per compare while whole groups remain inside the span; the depth row is never read
// past the span's end.
void TrimSpanByDepthSse() {
    SpanContext& c = g_spanContext;
    const int length = c.spanLength;
    c.spanTrim = 0;
    int first = 0;
    int mask = 0;
    for (; first + 4 <= length; first += 4)
        if ((mask = PassMaskSse(c, first)) != 0) break;
    if (mask != 0) first += std::countr_zero(static_cast<unsigned>(mask));
    else
        while (first < length && !Passes(c, first)) ++first;
    if (first == length) {
        c.spanStart = c.spanEnd;
        return;
    }
    int last = length - 1;
    for (; last - 3 > first; last -= 4) {
        if ((mask = PassMaskSse(c, last - 3)) != 0) {
            last = last - 4 + std::bit_width(static_cast<unsigned>(mask));
            break;
        }
    }
    while (!Passes(c, last)) --last;
    Trim(c, first, last, AdvanceStartsSse);
}

}  // namespace

void TrimSpanByDepth() {
    if (g_spanContext.ssePath != 0) TrimSpanByDepthSse();
    else TrimSpanByDepthScalar();
}
