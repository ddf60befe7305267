// The thread's processor time on Windows: fine enough for the effective-clock probe (some 70
// microseconds), and never ahead of the wall clock.

#include <gtest/gtest.h>

#include "platform/clock.h"

namespace {

LONGLONG WallNanoseconds() {
    LARGE_INTEGER count{}, frequency{};
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<LONGLONG>(static_cast<long double>(count.QuadPart) * 1e9L / frequency.QuadPart);
}

TEST(Win32ClockTest, ThreadProcessorTimeStepsFinerThanTheProbe) {
    LONGLONG first = 0;
    ASSERT_TRUE(QueryCurrentThreadCpuTime(&first));
    // The smallest step seen while spinning: the scheduler's tick (milliseconds) would be useless.
    LONGLONG smallestStep = -1, previous = first;
    const LONGLONG wallStart = WallNanoseconds();
    while (WallNanoseconds() - wallStart < 20'000'000) {
        LONGLONG now = 0;
        ASSERT_TRUE(QueryCurrentThreadCpuTime(&now));
        ASSERT_GE(now, previous);
        if (now > previous && (smallestStep < 0 || now - previous < smallestStep)) smallestStep = now - previous;
        previous = now;
    }
    const LONGLONG wall = WallNanoseconds() - wallStart;
    ASSERT_GT(smallestStep, 0) << "processor time did not advance in 20 ms of spinning";
    EXPECT_LT(smallestStep, 10'000) << "steps of " << smallestStep << " ns";
    EXPECT_LE(previous - first, wall + wall / 20) << "processor time ran ahead of the wall clock";
    EXPECT_GT(previous - first, wall / 10) << "a spinning thread got almost no processor time";
}

}  // namespace
