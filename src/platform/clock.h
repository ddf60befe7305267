#pragma once
// The high-resolution performance counter: a monotonic clock in counts, with its rate.

#include "platform/win_types.h"

BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
