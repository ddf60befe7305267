#pragma once
// Internal to the Win32 backend: the record behind every thread handle that AfxBeginThread gave
// out, and the process-wide table of them, keyed by the Win32 thread id. A record keeps the
// Win32 thread handle open until the record goes, so Windows cannot give its id to another thread
// meanwhile. A record is shared: the thread itself, its handle (until closed) and every call
// working on it hold a reference, so no call ever sees a freed record.

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/thread.h"

struct ThreadRecord {
    DWORD id = 0;               // Win32 thread id, and the value of the handle Ferrox gives out
    void* native = nullptr;     // the Win32 thread handle

    std::mutex lock;            // guards the fields below
    bool alive = true;          // the thread's procedure has not returned
    bool handleOpen = false;    // a thread object still names it
    CWinThread* object = nullptr;

    int threadPriority = THREAD_PRIORITY_NORMAL;  // logical value; guarded by the priority lock
    // Above 0 while the thread runs inside the platform layer (it may hold one of its locks or
    // be inside a Windows call that does). Written by the thread itself, read by SuspendThread.
    std::atomic<int> platformDepth{0};

    // The stop that waits for the thread to leave the platform layer (thread_suspend.cpp): a
    // suspender that found the thread inside sets stopWanted and lets it run on; the thread,
    // once out, sets `parked` and waits for `released`, which the suspender sets once it has
    // stopped the thread there. Both events reset themselves.
    std::mutex suspendLock;              // one suspender of this thread at a time
    std::atomic<bool> stopWanted{false};
    void* parked = nullptr;              // event (HANDLE)
    void* released = nullptr;            // event (HANDLE)

    ThreadRecord() = default;
    ThreadRecord(const ThreadRecord&) = delete;
    ThreadRecord& operator=(const ThreadRecord&) = delete;
    ~ThreadRecord();
};

using ThreadRef = std::shared_ptr<ThreadRecord>;

// What a thread handle names: a thread AfxBeginThread started (record set), or, for
// GetCurrentThread() on a thread Ferrox did not start, the calling thread itself (record null).
struct ThreadTarget {
    ThreadRef record;
    void* native = nullptr;  // null when the handle names no thread
    bool IsThread() const { return native != nullptr; }
};

ThreadTarget FindThreadTarget(HANDLE handle);
// GetCurrentThread() or an open handle of a started thread; null for anything else.
ThreadRef FindThreadByHandle(HANDLE handle);
// A started thread whose procedure is running; null otherwise.
ThreadRef FindLiveThread(DWORD id);
// The calling thread's record; null on a thread AfxBeginThread did not start.
ThreadRecord* CurrentThreadRecordOrNull();

// Marks the calling thread as inside the platform layer for as long as it lives, so that
// SuspendThread never leaves the thread stopped while it holds a lock others need: a stop asked
// for meanwhile happens as the outermost one ends.
class SuspendDeferral {
public:
    SuspendDeferral();
    ~SuspendDeferral();
    SuspendDeferral(const SuspendDeferral&) = delete;
    SuspendDeferral& operator=(const SuspendDeferral&) = delete;

private:
    ThreadRecord* m_record;
};

// Guards the logical priorities (priority.cpp).
std::mutex& PriorityLock();
// The thread priority Windows is given for a logical one (priority.cpp).
int AppliedThreadPriority(int threadPriority);
