// Suspend and resume of another thread, and the processor time a thread has used.

#include "platform/win32/windows_api.h"

#include "platform/win32/kernel_calls.h"
#include "platform/win32/thread_registry.h"

namespace {

constexpr DWORD kFailed = 0xFFFFFFFFu;

// A thread stopped inside the platform layer may hold a lock the suspender (or whoever it waits
// for) needs: it is let go and stopped again a moment later, for at most this long.
constexpr ULONGLONG kSafeStopMilliseconds = 2000;

FILETIME FromNative(const Win32FILETIME& time) { return FILETIME{time.dwLowDateTime, time.dwHighDateTime}; }

}  // namespace

DWORD SuspendThread(HANDLE thread) {
    const ThreadTarget target = FindThreadTarget(thread);
    if (!target.IsThread()) return kFailed;
    if (target.record == nullptr || target.record.get() == CurrentThreadRecordOrNull()) {
        // The calling thread stops itself: there is nobody to wait for.
        return static_cast<DWORD>(kernel::SuspendUntilStopped(target.native));
    }
    ThreadRecord& record = *target.record;
    const ULONGLONG deadline = GetTickCount64() + kSafeStopMilliseconds;
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(record.lock);
            if (!record.alive) return kFailed;
        }
        const unsigned long previous = kernel::SuspendUntilStopped(record.native);
        if (previous == kFailed) return kFailed;
        // Stopped already by an earlier call, or stopped now outside the platform layer.
        if (previous > 0 || record.platformDepth.load() == 0 || GetTickCount64() > deadline) {
            return static_cast<DWORD>(previous);
        }
        kernel::Resume(record.native);
        SwitchToThread();
    }
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
