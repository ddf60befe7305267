#pragma once
// How scan conversion turns edge positions into whole lines and pixels, in each path's own way.
// Positions are first clamped to one unit beyond the clip bounds, which changes no result inside
// them but keeps every conversion in range (and maps NaN to a chosen bound).

#include <cstdint>
#include <emmintrin.h>

// v limited to [lo, hi]; NaN gives nanResult.
inline float ClampPosition(float v, float lo, float hi, float nanResult) {
    if (v != v) return nanResult;
    return v < lo ? lo : (v > hi ? hi : v);
}

// Scalar path: v + 0.5 converted in the draw's rounding mode (to nearest, ties to even), which is
// ceil(v) except on odd whole numbers, where it gives v + 1. The sum is formed in double, where it
// is exact for every clamped position: in float, 0.99999994 + 0.5 would round to 1.5 and convert
// to 2 instead of 1.
inline std::int32_t RoundUpScalar(float v) {
    return _mm_cvtsd_si32(_mm_set_sd(static_cast<double>(v) + 0.5));
}

// SSE path: ceil of four in-range values, whatever the rounding mode (truncate, then step up where
// the truncation fell below the value).
inline __m128i CeilSse(__m128 v) {
    const __m128i truncated = _mm_cvttps_epi32(v);
    const __m128i below = _mm_castps_si128(_mm_cmplt_ps(_mm_cvtepi32_ps(truncated), v));
    return _mm_sub_epi32(truncated, below);
}

// Four-lane clamps with NaN sent to hi or to lo: MINPS and MAXPS return their second operand when
// either is NaN.
inline __m128 ClampNanHighSse(__m128 v, __m128 lo, __m128 hi) { return _mm_min_ps(_mm_max_ps(lo, v), hi); }
inline __m128 ClampNanLowSse(__m128 v, __m128 lo, __m128 hi) { return _mm_max_ps(_mm_min_ps(hi, v), lo); }
