// Suspend and resume of another thread, and the processor time a thread has used.

#include "platform/win32/windows_api.h"

#include "platform/win32/kernel_calls.h"
#include "platform/win32/thread_registry.h"

namespace {

constexpr DWORD kFailed = 0xFFFFFFFFu;

FILETIME FromNative(const Win32FILETIME& time) { return FILETIME{time.dwLowDateTime, time.dwHighDateTime}; }

}  // namespace

// A thread is stopped at once, wherever it is, unless it is inside the platform layer, where it
// may hold a lock the suspender (or whoever the suspender waits for) needs. Stopping it again and
// again until it happens to be outside does not work for a thread that is inside nearly all the
// time: under Wine the suspend signal is blocked during Wine's server calls and otherwise taken
// as the system call ends, so such a thread is caught inside almost every time. It is let go
// instead and stops itself as it leaves the platform layer (SuspendDeferral), where the
// suspender stops it for good. No platform call blocks for long, and no stopped thread holds a
// platform lock, so it gets there.
DWORD SuspendThread(HANDLE thread) {
    const ThreadTarget target = FindThreadTarget(thread);
    if (!target.IsThread()) return kFailed;
    if (target.record == nullptr || target.record.get() == CurrentThreadRecordOrNull()) {
        // The calling thread stops itself: there is nobody to wait for.
        return static_cast<DWORD>(kernel::SuspendUntilStopped(target.native));
    }
    ThreadRecord& record = *target.record;
    std::lock_guard<std::mutex> suspender(record.suspendLock);
    {
        std::lock_guard<std::mutex> guard(record.lock);
        if (!record.alive) return kFailed;
    }
    const unsigned long previous = kernel::SuspendUntilStopped(record.native);
    // Failed, stopped already by an earlier call, or stopped now outside the platform layer.
    if (previous != 0 || record.platformDepth.load() == 0) return static_cast<DWORD>(previous);
    record.stopWanted.store(true);
    kernel::Resume(record.native);
    const HANDLE waits[] = {record.parked, record.native};
    if (WaitForMultipleObjects(2, waits, FALSE, kNativeInfinite) != WAIT_OBJECT_0) {
        record.stopWanted.store(false);  // the thread has ended
        return kFailed;
    }
    const unsigned long parked = kernel::SuspendUntilStopped(record.native);
    SetEvent(record.released);  // taken when the thread runs again
    return static_cast<DWORD>(parked);
}

DWORD ResumeThread(HANDLE thread) {
    const ThreadTarget target = FindThreadTarget(thread);
    if (!target.IsThread()) return kFailed;
    return static_cast<DWORD>(kernel::Resume(target.native));
}

BOOL GetThreadTimes(HANDLE thread, FILETIME* creation, FILETIME* exit, FILETIME* kernelTime, FILETIME* user) {
    const ThreadTarget target = FindThreadTarget(thread);
    if (!target.IsThread()) return FALSE;
    Win32FILETIME created{}, ended{}, inKernel{}, inUser{};
    if (!GetThreadTimes(target.native, &created, &ended, &inKernel, &inUser)) return FALSE;
    if (creation != nullptr) *creation = FromNative(created);
    if (exit != nullptr) *exit = FromNative(ended);
    if (kernelTime != nullptr) *kernelTime = FromNative(inKernel);
    if (user != nullptr) *user = FromNative(inUser);
    return TRUE;
}
