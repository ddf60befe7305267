// Priority classes and thread priorities on Linux nice values. Linux keeps a nice value per
// thread, so each thread's value combines the process class with the thread's own priority;
// changing the class re-applies every live thread's value. Real-time scheduling is never used:
// the most a thread gets is nice -10, so the desktop stays usable under full load.

#include <sys/resource.h>

#include <cerrno>
#include <cstdint>

#include "platform/priority.h"
#include "platform/thread_registry.h"

namespace {

constexpr int kThreadPriorities[] = {
    THREAD_PRIORITY_IDLE,   THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
    THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL,
};
constexpr int kThreadPriorityCount = sizeof(kThreadPriorities) / sizeof(kThreadPriorities[0]);

struct ClassRow {
    DWORD priorityClass;
    int nice[kThreadPriorityCount];  // in the order of kThreadPriorities
};

// Windows gives each pair a base priority (1-31, Normal/Normal = 8); the nice values follow the
// base priorities: 1 -> 19, 4 -> 12, 6 -> 5, 7 -> 2, 8 -> 0, 9 -> -2, 10 -> -4, 11 -> -5,
// 12 -> -6, 13 -> -7, 14 -> -8, 15 and above -> -10. Idle threads stay at 19 (the idle class is
// not mapped to SCHED_IDLE: an unprivileged thread could not leave it again).
//                     thread:   IDLE LOWEST BELOW NORMAL ABOVE HIGHEST TIME_CRITICAL
constexpr ClassRow kNiceTable[] = {
    {IDLE_PRIORITY_CLASS,         {19,  17,   15,   12,    10,   5,      -10}},
    {BELOW_NORMAL_PRIORITY_CLASS, {19,  12,   10,   5,     2,    0,      -10}},
    {NORMAL_PRIORITY_CLASS,       {19,  5,    2,    0,     -2,   -4,     -10}},
    {ABOVE_NORMAL_PRIORITY_CLASS, {19,  0,    -2,   -4,    -5,   -6,     -10}},
    {HIGH_PRIORITY_CLASS,         {19,  -5,   -6,   -7,    -8,   -10,    -10}},
    {REALTIME_PRIORITY_CLASS,     {-10, -10,  -10,  -10,   -10,  -10,    -10}},
};

std::atomic<DWORD> g_priorityClass{NORMAL_PRIORITY_CLASS};

const ClassRow* FindClassRow(DWORD priorityClass) {
    for (const ClassRow& row : kNiceTable)
        if (row.priorityClass == priorityClass) return &row;
    return nullptr;
}

int FindThreadColumn(int threadPriority) {
    for (int column = 0; column < kThreadPriorityCount; ++column)
        if (kThreadPriorities[column] == threadPriority) return column;
    return -1;
}

bool IsCurrentProcess(HANDLE process) { return process == GetCurrentProcess(); }

}  // namespace

std::mutex& PriorityLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

BOOL MapPriorityToNice(DWORD priorityClass, int threadPriority, int* nice) {
    const ClassRow* row = FindClassRow(priorityClass);
    const int column = FindThreadColumn(threadPriority);
    if (row == nullptr || column < 0 || nice == nullptr) return FALSE;
    *nice = row->nice[column];
    return TRUE;
}

void ApplyThreadNiceLocked(ThreadRecord& record) {
    int nice = 0;
    if (!MapPriorityToNice(g_priorityClass.load(), record.threadPriority, &nice)) return;
    // Under the record's lock the thread is alive, so its kernel id cannot name another thread.
    std::lock_guard<std::mutex> guard(record.lock);
    const pid_t tid = record.tid.load();
    if (record.alive && tid != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);  // refusals ignored
}

BOOL SetPriorityClass(HANDLE process, DWORD priorityClass) {
    if (!IsCurrentProcess(process) || FindClassRow(priorityClass) == nullptr) return FALSE;
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(PriorityLock());
    if (g_priorityClass.load() == priorityClass) return TRUE;
    g_priorityClass.store(priorityClass);
    ForEachLiveThread([](ThreadRecord& record) { ApplyThreadNiceLocked(record); });
    return TRUE;
}

DWORD GetPriorityClass(HANDLE process) { return IsCurrentProcess(process) ? g_priorityClass.load() : 0; }

BOOL SetThreadPriority(HANDLE thread, int priority) {
    if (FindThreadColumn(priority) < 0) return FALSE;
    ThreadRef record = FindThreadByHandle(thread);
    if (record == nullptr) return FALSE;
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(PriorityLock());
    record->threadPriority = priority;
    ApplyThreadNiceLocked(*record);
    return TRUE;
}

int GetThreadPriority(HANDLE thread) {
    ThreadRef record = FindThreadByHandle(thread);
    if (record == nullptr) return THREAD_PRIORITY_ERROR_RETURN;
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(PriorityLock());
    return record->threadPriority;
}

BOOL QueryThreadNice(HANDLE thread, int* nice) {
    ThreadRef record = FindThreadByHandle(thread);
    if (record == nullptr || nice == nullptr) return FALSE;
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(record->lock);
    const pid_t tid = record->tid.load();
    if (!record->alive || tid == 0) return FALSE;
    errno = 0;
    const int value = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (value == -1 && errno != 0) return FALSE;
    *nice = value;
    return TRUE;
}
