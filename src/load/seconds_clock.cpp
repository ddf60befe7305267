// The seconds clock on the performance counter, and the time-stamp counter rate averaged since
// the first measurement.

#include "load/seconds_clock.h"

#include <x86intrin.h>

#include <atomic>
#include <cstdint>

#include "platform/clock.h"

namespace {

std::atomic<std::int64_t> g_counterFrequency{0};

// Calibration state; MeasureClockHz is called from the user-interface thread only.
double g_calibrationSeconds = -1.0;
double g_calibrationCycles = 0.0;

constexpr long double kCalibrationSeconds = 0.2L;

}  // namespace

long double GetSeconds() {
    if (g_counterFrequency.load(std::memory_order_relaxed) == 0) {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        g_counterFrequency.store(frequency.QuadPart, std::memory_order_relaxed);
    }
    LARGE_INTEGER count{};
    count.QuadPart = 0;  // a failing read gives 0
    QueryPerformanceCounter(&count);
    const std::int64_t frequency = g_counterFrequency.load(std::memory_order_relaxed);
    if (frequency == 0) return 0.0L;
    return static_cast<long double>(count.QuadPart) / static_cast<long double>(frequency);
}

long double MeasureClockHz() {
    if (g_calibrationSeconds == -1.0) {
        g_calibrationSeconds = static_cast<double>(GetSeconds());
        g_calibrationCycles = static_cast<double>(static_cast<std::int64_t>(__rdtsc()));
        while (GetSeconds() - g_calibrationSeconds < kCalibrationSeconds) {
        }
    }
    const long double now = GetSeconds();
    const long double cycles = static_cast<long double>(static_cast<std::int64_t>(__rdtsc()));
    return (cycles - g_calibrationCycles) / (now - g_calibrationSeconds);
}
