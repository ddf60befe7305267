// The clocks the frame reads: seconds for the run time, the processor clock for the title.
// Tests give the frame their own, so the title can be checked at any run time.
#pragma once

#include "load/seconds_clock.h"

struct FrameClock {
    long double (*seconds)() = GetSeconds;
    long double (*clockHz)() = MeasureClockHz;
};
