// The SSE2 packed part: two chains of the scalar part side by side, from different starts.

#include <emmintrin.h>

#include <cstdint>

#include "check/check_constants.h"
#include "check/check_parts.h"

std::uint64_t RunSse2PackedChain() {
    using namespace check_constants;
    volatile double opaqueStarts[2] = {kSse2Start, kSse2SecondStart};
    const __m128d multiplier = _mm_set1_pd(kSse2Multiplier);
    const __m128d offset = _mm_set1_pd(kSse2Offset);
    const __m128d divisor = _mm_set1_pd(kSse2Divisor);
    const unsigned savedCsr = _mm_getcsr();
    _mm_setcsr(0x1F80);
    __m128d x = _mm_set_pd(opaqueStarts[1], opaqueStarts[0]);
    __m128d sum = _mm_setzero_pd();
    for (int i = 0; i < kSse2Iterations; ++i) {
        const __m128d t = _mm_mul_pd(x, multiplier);
        x = _mm_sub_pd(t, _mm_cvtepi32_pd(_mm_cvtpd_epi32(t)));
        sum = _mm_add_pd(sum, _mm_div_pd(_mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(x, x), offset)), divisor));
    }
    _mm_setcsr(savedCsr);
    alignas(16) std::uint64_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(&lanes[0]), _mm_castpd_si128(x));
    _mm_store_si128(reinterpret_cast<__m128i*>(&lanes[2]), _mm_castpd_si128(sum));
    std::uint64_t digest = 0;
    for (std::uint64_t lane : lanes) digest = Fold(digest, lane);
    return digest;
}
