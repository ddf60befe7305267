#pragma once
// The high-resolution performance counter: a monotonic clock in counts, with its rate.

#include "platform/win_types.h"

BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);

// Processor time the calling thread has used, in nanoseconds: time spent descheduled does not
// count, so a probe timed with it measures the core's own speed.
BOOL QueryCurrentThreadCpuTime(LONGLONG* nanoseconds);
