// The effective-clock probe against an independent measurement on the same core.

#include "load/core_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/clock.h"

namespace {

#define ADD4 "add %[y], %[x]\n\tadd %[y], %[x]\n\tadd %[y], %[x]\n\tadd %[y], %[x]\n\t"

// A dependent chain of register-to-register adds: one cycle each on every x86-64 core (unlike
// adds of small immediates, which some cores fold away), a second way to count the core's cycles.
double MeasureWithAddChain(std::int64_t loops) {
    LONGLONG start = 0, end = 0;
    QueryCurrentThreadCpuTime(&start);
    std::uint64_t x = 1, y = 3;
    std::int64_t left = loops;
    asm volatile("1:\n\t" ADD4 ADD4 ADD4 ADD4 ADD4 ADD4 ADD4 ADD4
                 "dec %[left]\n\tjnz 1b\n\t"
                 : [x] "+r"(x), [left] "+r"(left)
                 : [y] "r"(y)
                 : "cc");
    QueryCurrentThreadCpuTime(&end);
    return end > start ? static_cast<double>(loops) * 32 * 1e9 / static_cast<double>(end - start) : 0.0;
}

#undef ADD4

// The median of the values (which it reorders).
double Median(std::vector<double>& values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The smallest step of the thread's processor-time clock seen within 50 ms of spinning (0 when it
// never moved). Wine, for one, counts a thread's time in the scheduler's 10 ms ticks.
LONGLONG ThreadClockStep() {
    LONGLONG first = 0, now = 0;
    QueryCurrentThreadCpuTime(&first);
    for (int spin = 0; spin < 50'000'000; ++spin) {
        QueryCurrentThreadCpuTime(&now);
        if (now != first) return now - first;
    }
    return 0;
}

}  // namespace

TEST(CoreClockTest, MultiplyProbeAgreesWithAnAddChain) {
    const LONGLONG step = ThreadClockStep();
    if (step > 1'000'000) {
        GTEST_SKIP() << "the thread's processor time advances in " << step / 1'000'000
                     << " ms steps here, too coarse to time the probe";
    }
    // Each round times the probe and then an add chain of the same number of cycles (393216): a
    // change of clock between rounds hits both alike, and a round that an interrupt, a switch to
    // another thread or the hypervisor slowed gives one odd ratio, which the median of many rounds
    // leaves out. Nothing here needs the machine to be idle.
    constexpr std::int64_t kMultiplies = 1 << 17;                               // 3 cycles each
    constexpr std::int64_t kAddLoops = kMultiplies * kMultiplyLatencyCycles / 32;  // 32 adds of 1 cycle each
    std::vector<double> ratios, addHz;
    for (int round = 0; round < 201; ++round) {
        const double probe = MeasureCoreClockHz(kMultiplies);
        const double adds = MeasureWithAddChain(kAddLoops);
        if (probe <= 0.0 || adds <= 0.0) continue;
        ratios.push_back(probe / adds);
        addHz.push_back(adds);
    }
    ASSERT_GE(ratios.size(), 101u) << "the thread's processor time did not move in most rounds";
    const double clock = Median(addHz), ratio = Median(ratios);
    ASSERT_GT(clock, 1e8) << "the add chain measured nothing";
    EXPECT_NEAR(ratio, 1.0, 0.05) << "median probe/adds " << ratio << ", adds at " << clock / 1e6 << " MHz";
}

TEST(CoreClockTest, ChainIsRoundedAndDeterministic) {
    // 33 multiplies run as 64; the same seed gives the same product every time.
    EXPECT_EQ(RunMultiplyChain(5, 33), RunMultiplyChain(5, 64));
    EXPECT_NE(RunMultiplyChain(5, 32), RunMultiplyChain(5, 64));
    std::uint64_t x = 5;
    for (int i = 0; i < 64; ++i) x *= x;
    EXPECT_EQ(RunMultiplyChain(5, 64), x);
    EXPECT_EQ(MeasureCoreClockHz(0), 0.0);
}

// A probe whose thread was away during it (its processor time falls short of the wall time, or
// runs ahead of it where the processor time moves in coarse steps) gives no clock at all rather
// than a spike; one whose two times agree gives cycles over processor time.
TEST(CoreClockTest, AProbeIsTrustedOnlyWhenItsThreadRanThroughout) {
    constexpr std::int64_t kMultiplies = 1 << 16;  // 196608 cycles
    const struct {
        const char* what;
        std::int64_t threadNs, wallNs;
        double hz;
    } cases[] = {
        {"ran throughout", 65536, 65536, 3e9},
        {"the reads' own cost", 98304, 99000, 2e9},
        {"just within the margin", 90000, 100000, 196608 * 1e9 / 90000},
        {"descheduled for a third of it", 65536, 98304, 0.0},
        {"steal time taken off in a larger slice", 53000, 85600, 0.0},
        {"processor time ahead of the wall (10 ms steps)", 10'000'000, 65536, 0.0},
        {"processor time did not move", 0, 65536, 0.0},
        {"processor time went back", -100, 65536, 0.0},
        {"no wall time", 65536, 0, 0.0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(CoreClockFromProbe(kMultiplies, c.threadNs, c.wallNs), c.hz) << c.what;
    }
    EXPECT_EQ(CoreClockFromProbe(0, 65536, 65536), 0.0) << "no multiplies";
}
