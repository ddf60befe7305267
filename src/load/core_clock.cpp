// The effective-clock probe: a dependent multiply chain timed on thread processor time.

#include "load/core_clock.h"

#include <cmath>

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

double CoreClockFromProbe(std::int64_t multiplies, std::int64_t threadNanoseconds, std::int64_t wallNanoseconds) {
    if (multiplies <= 0 || threadNanoseconds <= 0 || wallNanoseconds <= 0) return 0.0;
    const double thread = static_cast<double>(threadNanoseconds), wall = static_cast<double>(wallNanoseconds);
    if (std::fabs(wall - thread) > kProbeTimesMostApart * wall) return 0.0;
    return static_cast<double>(multiplies) * kMultiplyLatencyCycles * 1e9 / thread;
}

double MeasureCoreClockHz(std::int64_t multiplies) {
    const std::int64_t rounded = (multiplies + kMultipliesPerLoop - 1) / kMultipliesPerLoop * kMultipliesPerLoop;
    LONGLONG start = 0, end = 0;
    LARGE_INTEGER rate{}, wallStart{}, wallEnd{};
    if (rounded <= 0 || !QueryPerformanceFrequency(&rate) || rate.QuadPart <= 0) return 0.0;
    // The wall time encloses the processor time: the two differ only by the reads themselves
    // unless the thread was away.
    if (!QueryPerformanceCounter(&wallStart) || !QueryCurrentThreadCpuTime(&start)) return 0.0;
    volatile std::uint64_t sink = RunMultiplyChain(0x9E3779B97F4A7C15ull, rounded);
    (void)sink;
    if (!QueryCurrentThreadCpuTime(&end) || !QueryPerformanceCounter(&wallEnd)) return 0.0;
    const double wall = static_cast<double>(wallEnd.QuadPart - wallStart.QuadPart) * 1e9 / static_cast<double>(rate.QuadPart);
    return CoreClockFromProbe(rounded, end - start, static_cast<std::int64_t>(wall));
}
