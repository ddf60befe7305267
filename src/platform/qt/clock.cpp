// The performance counter on CLOCK_MONOTONIC, in nanoseconds.

#include "platform/clock.h"

#include <ctime>

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (count == nullptr) return FALSE;
    timespec now;
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) return FALSE;
    count->QuadPart = static_cast<LONGLONG>(now.tv_sec) * 1000000000 + now.tv_nsec;
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (frequency == nullptr) return FALSE;
    frequency->QuadPart = 1000000000;
    return TRUE;
}

BOOL QueryCurrentThreadCpuTime(LONGLONG* nanoseconds) {
    if (nanoseconds == nullptr) return FALSE;
    timespec used;
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used) != 0) return FALSE;
    *nanoseconds = static_cast<LONGLONG>(used.tv_sec) * 1000000000 + used.tv_nsec;
    return TRUE;
}
