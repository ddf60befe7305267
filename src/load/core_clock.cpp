// The effective-clock probe: a dependent multiply chain timed on thread processor time.

#include "load/core_clock.h"

#include "platform/clock.h"

namespace {
constexpr std::int64_t kMultipliesPerLoop = 32;
}  // namespace

#define FERROX_IMUL4 "imul %[x], %[x]\n\timul %[x], %[x]\n\timul %[x], %[x]\n\timul %[x], %[x]\n\t"

std::uint64_t RunMultiplyChain(std::uint64_t seed, std::int64_t multiplies) {
    std::int64_t loops = (multiplies + kMultipliesPerLoop - 1) / kMultipliesPerLoop;
    if (loops <= 0) return seed;
    // Odd, so the product never collapses to 0; the loop counter runs beside the chain.
    std::uint64_t x = seed | 1;
    asm volatile(
        "1:\n\t"
        FERROX_IMUL4 FERROX_IMUL4 FERROX_IMUL4 FERROX_IMUL4
        FERROX_IMUL4 FERROX_IMUL4 FERROX_IMUL4 FERROX_IMUL4
        "dec %[loops]\n\t"
        "jnz 1b\n\t"
        : [x] "+r"(x), [loops] "+r"(loops)
        :
        : "cc");
    return x;
}

#undef FERROX_IMUL4

double MeasureCoreClockHz(std::int64_t multiplies) {
    const std::int64_t rounded = (multiplies + kMultipliesPerLoop - 1) / kMultipliesPerLoop * kMultipliesPerLoop;
    LONGLONG start = 0, end = 0;
    if (rounded <= 0 || !QueryCurrentThreadCpuTime(&start)) return 0.0;
    volatile std::uint64_t sink = RunMultiplyChain(0x9E3779B97F4A7C15ull, rounded);
    (void)sink;
    if (!QueryCurrentThreadCpuTime(&end) || end <= start) return 0.0;
    return static_cast<double>(rounded) * kMultiplyLatencyCycles * 1e9 / static_cast<double>(end - start);
}
