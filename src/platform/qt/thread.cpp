// Thread creation, the thread objects and the table of thread records.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <climits>
#include <cstdint>
#include <thread>

#include "platform/common/thread_table.h"
#include "platform/priority.h"
#include "platform/qt/thread_registry.h"
#include "platform/qt/thread_signals.h"

namespace {

// Big enough for the load kernels' 256 KiB work areas even under the address sanitizer.
constexpr std::size_t kDefaultStackBytes = 4u << 20;

struct Registry : ThreadTable<ThreadRecord, SuspendDeferral> {
    DWORD lastId = 0;
};

// Never destroyed: threads may still end while the process shuts down.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

ThreadRef NewRecord() {
    Registry& registry = TheRegistry();
    auto record = std::make_shared<ThreadRecord>();
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(registry.lock);
    do {
        ++registry.lastId;
    } while (registry.lastId == 0 || registry.threads.count(registry.lastId) != 0);
    record->id = registry.lastId;
    registry.threads.emplace(record->id, record);
    return record;
}

void ForgetIfUnused(const ThreadRef& record) { TheRegistry().ForgetIfUnused(record); }

// Marks the thread ended: wakes its waiters, drops its queue, and deletes an auto-deleting object.
// Runs on the ending thread, which takes no suspend signal from here on.
void EndThread(const ThreadRef& record) {
    BlockThreadSignals();
    {
        std::lock_guard<std::mutex> guard(PriorityLock());
        DetachThreadPriorityLocked(*record);
    }
    CWinThread* selfDeleting = nullptr;
    {
        std::lock_guard<std::mutex> guard(record->lock);
        record->alive = false;
        record->queue.clear();
        // A suspend whose signal can no longer arrive: the thread runs no more of its caller's
        // code, which is what the suspender waits for.
        if (record->suspendCount.load() > 0) sem_post(&record->suspendAck);
        if (record->object != nullptr && record->object->m_bAutoDelete) selfDeleting = record->object;
    }
    record->ended.notify_all();
    ForgetIfUnused(record);
    delete selfDeleting;  // closes the handle
}

// The calling thread's reference to its own record. For a thread Ferrox did not start, the
// record is made on first use and ended when the thread exits.
struct CurrentThread {
    ThreadRef record;
    bool adopted = false;
    ~CurrentThread() {
        if (adopted) EndThread(record);
    }
};
thread_local CurrentThread t_currentThread;

thread_local char t_startFailure[128] = "";

struct StartBlock {
    ThreadRef record;
    AFX_THREADPROC proc;
    LPVOID param;
};

void* ThreadStart(void* argument) {
    std::unique_ptr<StartBlock> start(static_cast<StartBlock*>(argument));
    ThreadRef record = start->record;
    record->tid.store(gettid());
    t_currentThread.record = record;
    AttachSignalRecord(record.get());
    {
        SuspendDeferral deferral;
        std::lock_guard<std::mutex> guard(PriorityLock());
        AttachThreadPriorityLocked(*record);
    }
    UnblockThreadSignals();
    // Created suspended: wait here, before any of the caller's code runs.
    WaitWhileSuspended(record.get());
    start->proc(start->param);
    EndThread(record);
    AttachSignalRecord(nullptr);
    t_currentThread.record.reset();
    return nullptr;
}

}  // namespace

namespace {

// The record of id when its flag (an open handle, a live thread) is set.
ThreadRef FindRecord(DWORD id, bool ThreadRecord::*flag) { return TheRegistry().Find(id, flag); }

}  // namespace

ThreadRef FindThreadByHandle(HANDLE handle) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value == kCurrentThreadHandle) return CurrentThreadRecord();
    const DWORD id = IdFromHandle(handle);
    return id != 0 ? FindRecord(id, &ThreadRecord::handleOpen) : nullptr;
}

ThreadRef FindLiveThread(DWORD id) { return FindRecord(id, &ThreadRecord::alive); }

void ListLiveThreads(std::deque<ThreadRef>* out) {
    Registry& registry = TheRegistry();
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(registry.lock);
    for (const auto& entry : registry.threads) {
        std::lock_guard<std::mutex> recordGuard(entry.second->lock);
        if (entry.second->alive) out->push_back(entry.second);
    }
}

ThreadRef CurrentThreadRecord() {
    CurrentThread& current = t_currentThread;
    if (current.record == nullptr) {
        InstallThreadSignalHandlers();
        ThreadRef record = NewRecord();
        record->pthread = pthread_self();
        record->tid.store(gettid());
        current.record = record;
        current.adopted = true;
        AttachSignalRecord(record.get());
        SuspendDeferral deferral;
        std::lock_guard<std::mutex> guard(PriorityLock());
        AttachThreadPriorityLocked(*record);
    }
    return current.record;
}

CWinThread::CWinThread(AFX_THREADPROC proc, LPVOID param) : m_pfnThreadProc(proc), m_pThreadParams(param) {}

CWinThread::~CWinThread() {
    if (m_hThread != nullptr) TheRegistry().CloseHandleOf(m_hThread, this);
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize, DWORD flags,
                           void* /*security*/) {
    t_startFailure[0] = '\0';
    if (proc == nullptr) return nullptr;
    InstallThreadSignalHandlers();
    // The thread that starts others (the window's) follows the classes they set.
    CurrentThreadRecord();
    auto* object = new CWinThread(proc, param);
    ThreadRef record = NewRecord();
    {
        SuspendDeferral deferral;
        std::lock_guard<std::mutex> guard(PriorityLock());
        int unusedNice = 0;
        record->threadPriority = MapPriorityToNice(NORMAL_PRIORITY_CLASS, priority, &unusedNice)
                                     ? priority
                                     : THREAD_PRIORITY_NORMAL;
    }
    record->suspendCount.store((flags & CREATE_SUSPENDED) != 0 ? 1 : 0);
    record->handleOpen = true;
    record->object = object;
    object->m_hThread = HandleFromId(record->id);
    object->m_nThreadID = record->id;

    std::size_t stackBytes = stackSize == 0 ? kDefaultStackBytes : stackSize;
    if (stackBytes < static_cast<std::size_t>(PTHREAD_STACK_MIN)) stackBytes = PTHREAD_STACK_MIN;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, stackBytes);
    auto* start = new StartBlock{record, proc, param};
    // The new thread starts with Ferrox's signals blocked and unblocks them once it is ready.
    sigset_t saved;
    BlockThreadSignals(&saved);
    const int failed = pthread_create(&record->pthread, &attributes, ThreadStart, start);
    RestoreSignalMask(&saved);
    pthread_attr_destroy(&attributes);
    if (failed != 0) {
        std::snprintf(t_startFailure, sizeof t_startFailure, "%s", std::strerror(failed));
        delete start;
        {
            std::lock_guard<std::mutex> guard(record->lock);
            record->alive = false;
        }
        delete object;
        return nullptr;
    }
    return object;
}

const char* LastThreadStartFailure() { return t_startFailure; }

HANDLE GetCurrentThread() { return reinterpret_cast<HANDLE>(kCurrentThreadHandle); }
HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(kCurrentProcessHandle); }
DWORD GetCurrentThreadId() { return CurrentThreadRecord()->id; }

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    ThreadRef record = FindThreadByHandle(handle);
    if (record == nullptr) return WAIT_FAILED;
    std::unique_lock<std::mutex> guard(record->lock);
    const auto hasEnded = [&record] { return !record->alive; };
    if (milliseconds == INFINITE) {
        record->ended.wait(guard, hasEnded);
        return WAIT_OBJECT_0;
    }
    return record->ended.wait_for(guard, std::chrono::milliseconds(milliseconds), hasEnded) ? WAIT_OBJECT_0
                                                                                           : WAIT_TIMEOUT;
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SetCurrentThreadName(const char* name) {
    if (name == nullptr) return;
    char shortName[16] = {};
    std::snprintf(shortName, sizeof shortName, "%s", name);
    pthread_setname_np(pthread_self(), shortName);
}
