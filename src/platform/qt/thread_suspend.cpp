// Suspend and resume of another thread, and the processor time a thread has used.

#include <cerrno>
#include <ctime>

#include "platform/qt/thread_registry.h"
#include "platform/qt/thread_signals.h"

namespace {

constexpr DWORD kFailed = 0xFFFFFFFFu;

// A thread that never takes the signal (it is stuck in the kernel) must not hang its suspender.
constexpr long kStopWaitSeconds = 2;

void WaitForStop(ThreadRecord& record) {
    timespec deadline;
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += kStopWaitSeconds;
    while (sem_timedwait(&record.suspendAck, &deadline) != 0 && errno == EINTR) {
    }
}

FILETIME FileTimeFromNanoseconds(unsigned long long nanoseconds) {
    const unsigned long long units = nanoseconds / 100;
    return FILETIME{static_cast<DWORD>(units), static_cast<DWORD>(units >> 32)};
}

}  // namespace

DWORD SuspendThread(HANDLE thread) {
    ThreadRef record = FindThreadByHandle(thread);
    if (record == nullptr) return kFailed;
    int previous = 0;
    {
        SuspendDeferral deferral;
        std::lock_guard<std::mutex> guard(record->lock);
        if (!record->alive) return kFailed;
        // Stale acknowledgements (from a stop that outlasted its wait) go before the count rises.
        if (record->suspendCount.load() == 0) {
            while (sem_trywait(&record->suspendAck) == 0) {
            }
        }
        previous = record->suspendCount.fetch_add(1);
        if (previous == 0) pthread_kill(record->pthread, SuspendSignalNumber());
    }
    if (previous == 0) WaitForStop(*record);
    return static_cast<DWORD>(previous);
}

DWORD ResumeThread(HANDLE thread) {
    ThreadRef record = FindThreadByHandle(thread);
    if (record == nullptr) return kFailed;
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(record->lock);
    const int previous = record->suspendCount.load();
    if (previous == 0) return 0;
    record->suspendCount.store(previous - 1);
    if (previous == 1 && record->alive) pthread_kill(record->pthread, ResumeSignalNumber());
    return static_cast<DWORD>(previous);
}

BOOL GetThreadTimes(HANDLE thread, FILETIME* creation, FILETIME* exit, FILETIME* kernel, FILETIME* user) {
    ThreadRef record = FindThreadByHandle(thread);
    if (record == nullptr) return FALSE;
    timespec used = {};
    {
        SuspendDeferral deferral;
        std::lock_guard<std::mutex> guard(record->lock);
        if (!record->alive) return FALSE;
        clockid_t clock;
        if (pthread_getcpuclockid(record->pthread, &clock) != 0 || clock_gettime(clock, &used) != 0) return FALSE;
    }
    const unsigned long long nanoseconds =
        static_cast<unsigned long long>(used.tv_sec) * 1000000000ull + static_cast<unsigned long long>(used.tv_nsec);
    if (creation != nullptr) *creation = FILETIME{0, 0};
    if (exit != nullptr) *exit = FILETIME{0, 0};
    if (kernel != nullptr) *kernel = FILETIME{0, 0};
    if (user != nullptr) *user = FileTimeFromNanoseconds(nanoseconds);
    return TRUE;
}
