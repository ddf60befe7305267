#pragma once
// The clock the calling thread's core really runs at. The time-stamp counter runs at a fixed rate
// on current processors whatever the cores do, so it cannot show boost or throttling; a chain of
// dependent 64-bit multiplies (three cycles each on every x86-64 core since 2008) timed on the
// thread's own processor time can.

#include <cstdint>

// Cycles of one 64-bit multiply in a dependent chain.
inline constexpr int kMultiplyLatencyCycles = 3;
// About 60 microseconds at 3 GHz: short enough to run at every check, long enough that the
// processor-time clock's resolution does not matter.
inline constexpr std::int64_t kCoreClockProbeMultiplies = 1 << 16;

// Cycles per second of the calling thread's core; 0 when the thread's processor time cannot be
// read or the probe cannot be trusted (see CoreClockFromProbe). multiplies is rounded up to a
// multiple of 32.
double MeasureCoreClockHz(std::int64_t multiplies = kCoreClockProbeMultiplies);

// A probe's processor time may differ from its wall time by this share of the wall time at most.
inline constexpr double kProbeTimesMostApart = 0.1;
// The clock a probe of multiplies measured in threadNanoseconds of the thread's processor time
// while wallNanoseconds passed: 0 when the thread's time did not advance, or when the two times
// are more than kProbeTimesMostApart apart. The thread was then descheduled during the probe (the
// time it was away, a hypervisor's steal time above all, is taken off its processor time in
// slices that need not match the probe's, which showed as clocks far above or below the real one)
// or its processor time moves in coarse steps (Wine's 10 ms).
double CoreClockFromProbe(std::int64_t multiplies, std::int64_t threadNanoseconds, std::int64_t wallNanoseconds);

// The chain itself, for tests and benchmarks: multiplies dependent multiplies (rounded up to a
// multiple of 32) starting from seed; returns the product so it cannot be dropped.
std::uint64_t RunMultiplyChain(std::uint64_t seed, std::int64_t multiplies);
