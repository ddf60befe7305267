// The SSE2 scalar part: the chain of the x87 part in double precision, one value.

#include <emmintrin.h>

#include <cstdint>

#include "check/check_constants.h"
#include "check/check_parts.h"

namespace {
std::uint64_t Bits(__m128d value) { return static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_castpd_si128(value))); }
}  // namespace

std::uint64_t RunSse2ScalarChain() {
    using namespace check_constants;
    volatile double opaqueStart = kSse2Start;  // so the compiler cannot fold the chain
    const __m128d multiplier = _mm_set_sd(kSse2Multiplier);
    const __m128d offset = _mm_set_sd(kSse2Offset);
    const __m128d divisor = _mm_set_sd(kSse2Divisor);
    // Round to nearest for the conversions, whatever the thread's rounding mode was.
    const unsigned savedCsr = _mm_getcsr();
    _mm_setcsr(0x1F80);
    __m128d x = _mm_set_sd(opaqueStart);
    __m128d sum = _mm_setzero_pd();
    for (int i = 0; i < kSse2Iterations; ++i) {
        const __m128d t = _mm_mul_sd(x, multiplier);
        x = _mm_sub_sd(t, _mm_cvtsi64_sd(_mm_setzero_pd(), _mm_cvtsd_si64(t)));
        const __m128d root = _mm_sqrt_sd(_mm_setzero_pd(), _mm_add_sd(_mm_mul_sd(x, x), offset));
        sum = _mm_add_sd(sum, _mm_div_sd(root, divisor));
    }
    _mm_setcsr(savedCsr);
    return Fold(Fold(0, Bits(x)), Bits(sum));
}
