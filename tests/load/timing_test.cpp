// The seconds clock and the clock-rate measurement.

#include <gtest/gtest.h>

#include "load/seconds_clock.h"

TEST(TimingTest, SecondsIncrease) {
    long double previous = GetSeconds();
    EXPECT_GT(previous, 0.0L);
    for (int i = 0; i < 1000; ++i) {
        const long double now = GetSeconds();
        EXPECT_GE(now, previous);
        previous = now;
    }
    const long double start = GetSeconds();
    while (GetSeconds() == start) {
    }
    EXPECT_GT(GetSeconds(), start);
}

// One test, because the calibration happens once per process (a repeated run sees it done).
TEST(TimingTest, FirstClockMeasurementCalibratesForAFifthOfASecond) {
    static bool firstRunInProcess = true;
    const long double before = GetSeconds();
    const long double firstHz = MeasureClockHz();
    const long double afterFirst = GetSeconds();
    if (firstRunInProcess) {
        EXPECT_GE(afterFirst - before, 0.2L);
    }
    firstRunInProcess = false;
    const long double secondHz = MeasureClockHz();
    EXPECT_LT(GetSeconds() - afterFirst, 0.2L) << "only the first call calibrates";
    // The time-stamp counter of any x86-64 processor runs between 100 MHz and 10 GHz.
    EXPECT_GT(firstHz, 1e8L);
    EXPECT_LT(firstHz, 1e10L);
    EXPECT_GT(secondHz, 1e8L);
    EXPECT_LT(secondHz, 1e10L);
}
