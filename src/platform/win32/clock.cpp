// The performance counter is Windows' own. A thread's processor time comes from its cycle count
// (QueryThreadCycleTime counts time-stamp cycles while the thread runs), turned into nanoseconds
// with the time-stamp rate measured once against the performance counter. GetThreadTimes would
// do without the rate, but it advances only at the scheduler's tick (about 15.6 ms on Windows),
// far too coarse for a probe of some 70 microseconds; it is the fallback where cycle counts are
// missing.

#include "platform/win32/windows_api.h"

#include <intrin.h>

#include "platform/clock.h"
#include "platform/win32/kernel_calls.h"

namespace {

// Long enough that the counter's 100 ns steps give the rate to about 1e-5.
constexpr double kCalibrationSeconds = 0.01;

double MeasureCyclesPerNanosecond() {
    Win32LARGE_INTEGER frequency{}, start{}, now{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return 0.0;
    QueryPerformanceCounter(&start);
    const unsigned long long startCycles = __rdtsc();
    do {
        QueryPerformanceCounter(&now);
    } while (double(now.QuadPart - start.QuadPart) < kCalibrationSeconds * double(frequency.QuadPart));
    const unsigned long long cycles = __rdtsc() - startCycles;
    const double nanoseconds = double(now.QuadPart - start.QuadPart) * 1e9 / double(frequency.QuadPart);
    return cycles > 0 ? double(cycles) / nanoseconds : 0.0;
}

double CyclesPerNanosecond() {
    static const double rate = MeasureCyclesPerNanosecond();
    return rate;
}

bool ThreadTimesNanoseconds(LONGLONG* nanoseconds) {
    Win32FILETIME created, ended, inKernel, inUser;
    if (!GetThreadTimes(kernel::CurrentThread(), &created, &ended, &inKernel, &inUser)) return false;
    const auto units = [](const Win32FILETIME& t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    *nanoseconds = static_cast<LONGLONG>((units(inKernel) + units(inUser)) * 100);
    return true;
}

}  // namespace

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (count == nullptr) return FALSE;
    Win32LARGE_INTEGER now;
    if (!QueryPerformanceCounter(&now)) return FALSE;
    count->QuadPart = now.QuadPart;
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (frequency == nullptr) return FALSE;
    Win32LARGE_INTEGER rate;
    if (!QueryPerformanceFrequency(&rate)) return FALSE;
    frequency->QuadPart = rate.QuadPart;
    return TRUE;
}

BOOL QueryCurrentThreadCpuTime(LONGLONG* nanoseconds) {
    if (nanoseconds == nullptr) return FALSE;
    ULONG64 cycles = 0;
    const double rate = CyclesPerNanosecond();
    if (rate > 0.0 && QueryThreadCycleTime(kernel::CurrentThread(), &cycles) && cycles != 0) {
        *nanoseconds = static_cast<LONGLONG>(double(cycles) / rate);
        return TRUE;
    }
    return ThreadTimesNanoseconds(nanoseconds) ? TRUE : FALSE;
}
