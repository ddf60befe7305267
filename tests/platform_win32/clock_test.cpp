// The thread's processor time on Windows: fine enough for the effective-clock probe (some 70
// microseconds), and never ahead of the wall clock.

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/clock.h"
#include "platform/win32/kernel_calls.h"

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
    // Spins until the thread has had 50 ms of processor time, however busy the machine is (up to
    // 20 s of wall time): a wall-clock budget alone can pass without a single tick on a loaded machine.
    LONGLONG smallestStep = -1, previous = first;
    const LONGLONG wallStart = WallNanoseconds();
    while (previous - first < 50'000'000 && WallNanoseconds() - wallStart < 20'000'000'000) {
        LONGLONG now = 0;
        ASSERT_TRUE(QueryCurrentThreadCpuTime(&now));
        ASSERT_GE(now, previous);
        if (now > previous && (smallestStep < 0 || now - previous < smallestStep)) smallestStep = now - previous;
        previous = now;
    }
    const LONGLONG wall = WallNanoseconds() - wallStart;
    ASSERT_GT(smallestStep, 0) << "processor time did not advance in 20 s of spinning";
    ASSERT_GE(previous - first, 50'000'000) << "a spinning thread got under 50 ms of processor time in 20 s";
    // Windows counts a thread's cycles; Wine does not (QueryThreadCycleTime is a stub there), so
    // Ferrox falls back to the thread times, which move in scheduler ticks.
    ULONG64 cycles = 0;
    if (QueryThreadCycleTime(kernel::CurrentThread(), &cycles) && cycles != 0) {
        EXPECT_LT(smallestStep, 10'000) << "steps of " << smallestStep << " ns";
    } else {
        std::printf("note: no thread cycle counts here; processor time steps are %lld ns\n",
                    static_cast<long long>(smallestStep));
    }
    // Up to one step of the clock may come on top of the time really spent.
    EXPECT_LE(previous - first, wall + wall / 20 + smallestStep) << "processor time ran ahead of the wall clock";
}

}  // namespace
