#pragma once
// Internal to the platform layer: the record behind every thread handle and thread id, and the
// process-wide table of them. A record is shared: the thread itself, its handle (until closed)
// and every call working on it hold a reference, so no call ever sees a freed record.

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <semaphore.h>

#include "platform/thread.h"

inline constexpr int kNiceUnknown = 1000;

struct ThreadRecord {
    DWORD id = 0;                   // thread id and handle value
    pthread_t pthread{};
    std::atomic<pid_t> tid{0};      // kernel thread id, once the thread runs

    std::mutex lock;                // guards the fields below and the queue
    std::condition_variable ended;  // notified when alive turns false
    bool alive = true;              // the thread has not ended: it may be signalled and reniced
    bool handleOpen = false;        // a thread object still names it
    CWinThread* object = nullptr;   // the thread object while its handle is open
    std::deque<MSG> queue;

    // Guarded by the priority lock: the logical priority, the class this thread holds (0: it
    // follows the highest held class), and the nice value last applied (kNiceUnknown: not yet).
    int threadPriority = THREAD_PRIORITY_NORMAL;
    DWORD heldClass = 0;
    int appliedNice = kNiceUnknown;
    bool priorityAttached = false;
    std::atomic<int> suspendCount{0};
    sem_t suspendAck;               // posted by the thread once it has stopped

    ThreadRecord() { sem_init(&suspendAck, 0, 0); }
    ~ThreadRecord() { sem_destroy(&suspendAck); }
};

using ThreadRef = std::shared_ptr<ThreadRecord>;

// GetCurrentThread() or an open thread handle; null for anything else.
ThreadRef FindThreadByHandle(HANDLE handle);
// A live thread; null when no thread with that id is running.
ThreadRef FindLiveThread(DWORD id);
// The calling thread's record; a thread not started by AfxBeginThread gets one on first use.
ThreadRef CurrentThreadRecord();
// Every live thread, for changes that apply to the whole process.
template <typename Visit>
void ForEachLiveThread(Visit visit);
void ListLiveThreads(std::deque<ThreadRef>* out);

// Keeps a suspend request from stopping the calling thread while it holds one of the platform's
// locks; the request is carried out when the outermost deferral ends.
class SuspendDeferral {
public:
    SuspendDeferral();
    ~SuspendDeferral();
    SuspendDeferral(const SuspendDeferral&) = delete;
    SuspendDeferral& operator=(const SuspendDeferral&) = delete;
};

// The priority bookkeeping of a thread (priority.cpp), under the priority lock: attach when the
// thread starts running (it follows the highest held class and gets its value), detach when it
// ends (it lets go of the class it holds).
std::mutex& PriorityLock();
void AttachThreadPriorityLocked(ThreadRecord& record);
void DetachThreadPriorityLocked(ThreadRecord& record);

template <typename Visit>
void ForEachLiveThread(Visit visit) {
    std::deque<ThreadRef> threads;
    ListLiveThreads(&threads);
    for (const ThreadRef& thread : threads) visit(*thread);
}
