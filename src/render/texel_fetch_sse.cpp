// Texel fetch with SSE2: coordinates, conversions (in the rounding mode in force), masks and
// weights four lanes at a time; the texels themselves are loaded one by one, and bilinear blending
// runs on 16-bit channel lanes. Same results as the plain form (texel_fetch_scalar.cpp).

#include <immintrin.h>

#include <cstdint>

#include "render/texel_fetch_forms.h"

namespace {

struct LaneCoordinates {
    __m128 u, v, du, dv;
};

// u as it is, v pre-multiplied by the row length, both scaled by `scale`, in the plain form's
// order.
LaneCoordinates LoadCoordinates(int stage, float rowLength, float scale) {
    const SpanContext& c = g_spanContext;
    const __m128 length = _mm_set1_ps(rowLength);
    const __m128 factor = _mm_set1_ps(scale);
    LaneCoordinates lanes;
    lanes.u = _mm_mul_ps(_mm_load_ps(c.texStart[stage][0]), factor);
    lanes.v = _mm_mul_ps(_mm_mul_ps(_mm_load_ps(c.texStart[stage][1]), length), factor);
    lanes.du = _mm_mul_ps(_mm_load_ps(c.texStep4[stage][0]), factor);
    lanes.dv = _mm_mul_ps(_mm_mul_ps(_mm_load_ps(c.texStep4[stage][1]), length), factor);
    return lanes;
}

// The four texels at four indices (already masked inside the texture).
__m128i Gather(const Color32* pixels, __m128i indices) {
    alignas(16) std::int32_t index[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(index), indices);
    return _mm_set_epi32(static_cast<int>(pixels[index[3]]), static_cast<int>(pixels[index[2]]),
                         static_cast<int>(pixels[index[1]]), static_cast<int>(pixels[index[0]]));
}

template <int Stage>
void PointFetch() {
    const SpanContext& c = g_spanContext;
    const StageSampling& s = c.sampling[Stage];
    if (!SamplingUsable(s)) return FillTexelsOpaqueWhite();
    const __m128i columnMask = _mm_set1_epi32(s.columnMask[0]);
    const __m128i rowMask = _mm_set1_epi32(s.rowMask[0]);
    LaneCoordinates lanes = LoadCoordinates(Stage, s.width[0], 1.0f);
    const float* w = c.wEnd;
    Color32* texels = c.texelEnd;
    for (int i = c.spanStart - c.spanEnd; i < 0; i += 4) {
        const __m128 pixelW = _mm_loadu_ps(w + i);
        const __m128i column =
            _mm_and_si128(_mm_cvtps_epi32(_mm_mul_ps(lanes.u, pixelW)), columnMask);
        const __m128i rowOffset =
            _mm_and_si128(_mm_cvtps_epi32(_mm_mul_ps(lanes.v, pixelW)), rowMask);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(texels + i),
                         Gather(s.pixels, _mm_or_si128(column, rowOffset)));
        lanes.u = _mm_add_ps(lanes.u, lanes.du);
        lanes.v = _mm_add_ps(lanes.v, lanes.dv);
    }
}

// Four weights (one per pixel, 0-256) spread over the 16-bit channel lanes of pixels 0-1 (low) and
// 2-3 (high).
void SpreadWeights(__m128i weights, __m128i& low, __m128i& high) {
    const __m128i pairs = _mm_or_si128(weights, _mm_slli_epi32(weights, 16));
    low = _mm_unpacklo_epi32(pairs, pairs);
    high = _mm_unpackhi_epi32(pairs, pairs);
}

// (texel channel x weight) >> 8 for four texels' channels; the product stays below 65536.
__m128i WeighHalf(__m128i texels16, __m128i weights16) {
    return _mm_srli_epi16(_mm_mullo_epi16(texels16, weights16), 8);
}

// Products of values below 256 in 32-bit lanes: the 16-bit multiply sees the value in the low half
// and zero in the high half, so it gives the whole product.
__m128i SmallProduct(__m128i a, __m128i b) { return _mm_mullo_epi16(a, b); }

template <int Stage>
void BilinearFetch() {
    const SpanContext& c = g_spanContext;
    if (c.spanStart >= c.spanEnd) return;
    const StageSampling& s = c.sampling[Stage];
    if (!SamplingUsable(s)) return FillTexelsOpaqueWhite();
    const __m128i columnMask = _mm_set1_epi32(s.columnMask[0]);
    const __m128i rowMask = _mm_set1_epi32(s.rowMask[0]);
    const __m128i rowLength = _mm_set1_epi32(s.rowLength[0]);
    const __m128i log2Width = _mm_cvtsi32_si128(s.log2Width[0]);
    const __m128i one = _mm_set1_epi32(1);
    const __m128i byteMask = _mm_set1_epi32(255);
    const __m128i full = _mm_set1_epi32(256);
    const __m128i zero = _mm_setzero_si128();
    // Coordinates with 8 fraction bits.
    LaneCoordinates lanes = LoadCoordinates(Stage, s.width[0], 256.0f);
    const float* w = c.wEnd;
    Color32* texels = c.texelEnd;
    for (int i = c.spanStart - c.spanEnd; i < 0; i += 4) {
        const __m128 pixelW = _mm_loadu_ps(w + i);
        const __m128i u = _mm_cvtps_epi32(_mm_mul_ps(lanes.u, pixelW));
        const __m128i v = _mm_cvtps_epi32(_mm_mul_ps(lanes.v, pixelW));
        const __m128i fu = _mm_and_si128(u, byteMask);
        const __m128i fv = _mm_and_si128(_mm_sra_epi32(v, log2Width), byteMask);
        const __m128i column0 = _mm_and_si128(_mm_srai_epi32(u, 8), columnMask);
        const __m128i column1 = _mm_and_si128(_mm_add_epi32(column0, one), columnMask);
        const __m128i row0 = _mm_and_si128(_mm_srai_epi32(v, 8), rowMask);
        const __m128i row1 = _mm_and_si128(_mm_add_epi32(row0, rowLength), rowMask);
        // The weights as the plain form computes them; the fourth takes what is left of 256.
        const __m128i inverseU = _mm_sub_epi32(byteMask, fu);
        const __m128i inverseV = _mm_sub_epi32(byteMask, fv);
        const __m128i weight00 = _mm_srli_epi32(SmallProduct(inverseU, inverseV), 8);
        const __m128i weight10 = _mm_srli_epi32(SmallProduct(fu, inverseV), 8);
        const __m128i weight11 = _mm_srli_epi32(SmallProduct(fu, fv), 8);
        const __m128i weight01 =
            _mm_sub_epi32(_mm_sub_epi32(full, weight00), _mm_add_epi32(weight10, weight11));
        const __m128i texel[4] = {Gather(s.pixels, _mm_or_si128(column0, row0)),
                                  Gather(s.pixels, _mm_or_si128(column1, row0)),
                                  Gather(s.pixels, _mm_or_si128(column1, row1)),
                                  Gather(s.pixels, _mm_or_si128(column0, row1))};
        const __m128i weight[4] = {weight00, weight10, weight11, weight01};
        __m128i low = zero;
        __m128i high = zero;
        for (int t = 0; t < 4; ++t) {
            __m128i lowWeight, highWeight;
            SpreadWeights(weight[t], lowWeight, highWeight);
            low = _mm_add_epi16(low, WeighHalf(_mm_unpacklo_epi8(texel[t], zero), lowWeight));
            high = _mm_add_epi16(high, WeighHalf(_mm_unpackhi_epi8(texel[t], zero), highWeight));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(texels + i), _mm_packus_epi16(low, high));
        lanes.u = _mm_add_ps(lanes.u, lanes.du);
        lanes.v = _mm_add_ps(lanes.v, lanes.dv);
    }
}

}  // namespace

const SpanRoutine kSsePointFetch[kTextureStages] = {PointFetch<0>, PointFetch<1>, PointFetch<2>,
                                                    PointFetch<3>};
const SpanRoutine kSseBilinearFetch[kTextureStages] = {BilinearFetch<0>, BilinearFetch<1>,
                                                       BilinearFetch<2>, BilinearFetch<3>};
