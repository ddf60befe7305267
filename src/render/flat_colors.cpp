#include "render/flat_colors.h"

#include <immintrin.h>

namespace {

// Truncation that is defined for every float: out of range and NaN give 0x80000000, whose low
// byte is 0.
inline std::uint32_t TruncatedByte(float value) {
    return static_cast<std::uint32_t>(_mm_cvttss_si32(_mm_set_ss(value))) & 0xFFu;
}

}  // namespace

void PackFlatColorsScalar(const VertexBatch& batch, Color32 colors[kBatchLanes]) {
    const VertexSlot& first = batch.corner[0];
    for (int lane = 0; lane < kBatchLanes; ++lane) {
        colors[lane] = TruncatedByte(first.diffuse[CH_A].lane[lane]) << 24 |
                       TruncatedByte(first.diffuse[CH_R].lane[lane]) << 16 |
                       TruncatedByte(first.diffuse[CH_G].lane[lane]) << 8 |
                       TruncatedByte(first.diffuse[CH_B].lane[lane]);
    }
}

void PackFlatColorsSse(const VertexBatch& batch, Color32 colors[kBatchLanes]) {
    const VertexSlot& first = batch.corner[0];
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    const __m128i a = _mm_and_si128(_mm_cvttps_epi32(_mm_load_ps(first.diffuse[CH_A].lane)), byteMask);
    const __m128i r = _mm_and_si128(_mm_cvttps_epi32(_mm_load_ps(first.diffuse[CH_R].lane)), byteMask);
    const __m128i g = _mm_and_si128(_mm_cvttps_epi32(_mm_load_ps(first.diffuse[CH_G].lane)), byteMask);
    const __m128i b = _mm_and_si128(_mm_cvttps_epi32(_mm_load_ps(first.diffuse[CH_B].lane)), byteMask);
    const __m128i packed = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(a, 24), _mm_slli_epi32(r, 16)),
                                        _mm_or_si128(_mm_slli_epi32(g, 8), b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(colors), packed);
}
