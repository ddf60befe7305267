// The colour operations with SSE2: four pixels per step, the byte channels widened to 16-bit lanes
// where a product or a signed sum needs the room and packed back with unsigned saturation (which is
// the clamp to 0-255). Same results as the plain form (color_ops_scalar.cpp).

#include <immintrin.h>

#include "raster/color_op_forms.h"

namespace {

using PixelOp = __m128i (*)(__m128i a, __m128i b);  // four packed pixels each
using LaneOp = __m128i (*)(__m128i a, __m128i b);   // eight 16-bit channels each

// currentArray = Op(argument 1, argument 2) over the span; the last group may run up to three
// entries past the span, inside the arrays.
template <PixelOp Op>
void CombineSpan() {
    const SpanContext& c = g_spanContext;
    const Color32* first = c.firstArgEnd;
    const Color32* second = c.secondArgEnd;
    Color32* current = c.currentEnd;
    for (int i = c.spanStart - c.spanEnd; i < 0; i += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(current + i), Op(a, b));
    }
}

// Runs a 16-bit lane operation on pixels 0-1 and 2-3 and packs the two halves back to bytes.
template <LaneOp Op>
__m128i Widened(__m128i a, __m128i b) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = Op(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
    const __m128i high = Op(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
    return _mm_packus_epi16(low, high);
}

__m128i SelectFirst(__m128i a, __m128i) { return a; }
__m128i SelectSecond(__m128i, __m128i b) { return b; }
__m128i Add(__m128i a, __m128i b) { return _mm_adds_epu8(a, b); }
__m128i Subtract(__m128i a, __m128i b) { return _mm_subs_epu8(a, b); }

// Products of two channels reach 65025: read as unsigned, so the shifts are logical.
__m128i ModulateLanes(__m128i a, __m128i b) { return _mm_srli_epi16(_mm_mullo_epi16(a, b), 8); }
__m128i Modulate2xLanes(__m128i a, __m128i b) { return _mm_srli_epi16(_mm_mullo_epi16(a, b), 7); }
__m128i Modulate4xLanes(__m128i a, __m128i b) { return _mm_srli_epi16(_mm_mullo_epi16(a, b), 6); }
__m128i AddSignedLanes(__m128i a, __m128i b) {
    return _mm_sub_epi16(_mm_add_epi16(a, b), _mm_set1_epi16(128));
}
__m128i AddSigned2xLanes(__m128i a, __m128i b) { return _mm_slli_epi16(AddSignedLanes(a, b), 1); }
__m128i AddSmoothLanes(__m128i a, __m128i b) {
    return _mm_sub_epi16(_mm_add_epi16(a, b), ModulateLanes(a, b));
}

// (a f + b (255 - f) + 128) / 255 as (x + (x >> 8)) >> 8; x stays below 65536.
__m128i BlendLanes(__m128i a, __m128i b, __m128i f) {
    const __m128i inverse = _mm_sub_epi16(_mm_set1_epi16(255), f);
    __m128i x = _mm_add_epi16(_mm_mullo_epi16(a, f), _mm_mullo_epi16(b, inverse));
    x = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

// currentArray = argument 1 x f + argument 2 x (1 - f), f the alpha of the factor array's pixel.
template <Color32* SpanContext::*FactorEnd>
void BlendSpanByAlpha() {
    const SpanContext& c = g_spanContext;
    const Color32* first = c.firstArgEnd;
    const Color32* second = c.secondArgEnd;
    const Color32* factor = c.*FactorEnd;
    Color32* current = c.currentEnd;
    const __m128i zero = _mm_setzero_si128();
    for (int i = c.spanStart - c.spanEnd; i < 0; i += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + i));
        const __m128i alpha =
            _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(factor + i)), 24);
        // Each pixel's alpha in all four of its 16-bit channel lanes.
        const __m128i pairs = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 16));
        const __m128i lowFactor = _mm_unpacklo_epi32(pairs, pairs);
        const __m128i highFactor = _mm_unpackhi_epi32(pairs, pairs);
        const __m128i low =
            BlendLanes(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), lowFactor);
        const __m128i high =
            BlendLanes(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), highFactor);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(current + i), _mm_packus_epi16(low, high));
    }
}

}  // namespace

const SpanRoutine kSseColorOps[kColorOpCount] = {
    CombineSpan<SelectFirst>,
    CombineSpan<SelectSecond>,
    CombineSpan<Widened<ModulateLanes>>,
    CombineSpan<Widened<Modulate2xLanes>>,
    CombineSpan<Widened<Modulate4xLanes>>,
    CombineSpan<Add>,
    CombineSpan<Widened<AddSignedLanes>>,
    CombineSpan<Widened<AddSigned2xLanes>>,
    CombineSpan<Subtract>,
    CombineSpan<Widened<AddSmoothLanes>>,
    BlendSpanByAlpha<&SpanContext::diffuseEnd>,
    BlendSpanByAlpha<&SpanContext::texelEnd>,
};
