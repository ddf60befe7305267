// Priority classes and thread priorities on Linux nice values. Linux keeps a nice value per
// thread, so each thread's value combines a class with the thread's own priority: the class the
// thread holds itself, or else the highest class any thread holds. Real-time scheduling is never
// used: the most a thread gets is 10 below the nice value Ferrox was started with, so the desktop
// stays usable under full load.

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <unordered_set>

#include "platform/priority.h"
#include "platform/qt/priority_limits.h"
#include "platform/qt/thread_registry.h"

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
// base priorities: 1 -> 19, 2 -> 17, 3 -> 15, 4 -> 12, 5 -> 10, 6 -> 5, 7 -> 2, 8 -> 0, 9 -> -2,
// 10 -> -4, 11 -> -5, 12 -> -6, 13 -> -7, 14 -> -8, 15 and above -> -10. Idle threads stay at 19
// (the idle class is not mapped to SCHED_IDLE: an unprivileged thread could not leave it again).
// The rows go from the lowest class to the highest.
//                     thread:   IDLE LOWEST BELOW NORMAL ABOVE HIGHEST TIME_CRITICAL
constexpr ClassRow kNiceTable[] = {
    {IDLE_PRIORITY_CLASS,         {19,  17,   15,   12,    10,   5,      -10}},
    {BELOW_NORMAL_PRIORITY_CLASS, {19,  12,   10,   5,     2,    0,      -10}},
    {NORMAL_PRIORITY_CLASS,       {19,  5,    2,    0,     -2,   -4,     -10}},
    {ABOVE_NORMAL_PRIORITY_CLASS, {19,  0,    -2,   -4,    -5,   -6,     -10}},
    {HIGH_PRIORITY_CLASS,         {19,  -5,   -6,   -7,    -8,   -10,    -10}},
    {REALTIME_PRIORITY_CLASS,     {-10, -10,  -10,  -10,   -10,  -10,    -10}},
};
constexpr int kClassCount = sizeof(kNiceTable) / sizeof(kNiceTable[0]);
constexpr int kNormalClassRow = 2;

// All guarded by the priority lock.
struct ClassBook {
    DWORD lastSet = NORMAL_PRIORITY_CLASS;           // GetPriorityClass
    std::array<int, kClassCount> holders{};          // threads holding each class
    int followRow = kNormalClassRow;                 // highest held class (Normal when none is)
    std::unordered_set<ThreadRecord*> followers;     // live threads holding no class
};

ClassBook& Book() {
    static ClassBook* book = new ClassBook;  // never destroyed: threads may end at shutdown
    return *book;
}

int FindClassRow(DWORD priorityClass) {
    for (int row = 0; row < kClassCount; ++row)
        if (kNiceTable[row].priorityClass == priorityClass) return row;
    return -1;
}

int FindThreadColumn(int threadPriority) {
    for (int column = 0; column < kThreadPriorityCount; ++column)
        if (kThreadPriorities[column] == threadPriority) return column;
    return -1;
}

// The nice value a pair gives a thread of this process, around the value it was started with.
int NiceForPair(int row, int column) {
    return std::clamp(ProcessNiceLimits().startNice + kNiceTable[row].nice[column], -20, 19);
}

bool IsCurrentProcess(HANDLE process) { return process == GetCurrentProcess(); }

int EffectiveRow(const ThreadRecord& record) {
    return record.heldClass != 0 ? FindClassRow(record.heldClass) : Book().followRow;
}

// Gives the thread the nice value of its class and priority, unless the system would refuse the
// step. A thread that follows changes only where it could also change back, so that following a
// low class never leaves the window stuck below the workers.
void ApplyNiceLocked(ThreadRecord& record) {
    const int column = FindThreadColumn(record.threadPriority);
    const int row = EffectiveRow(record);
    if (column < 0 || row < 0) return;
    const int target = NiceForPair(row, column);
    std::lock_guard<std::mutex> guard(record.lock);
    const pid_t tid = record.tid.load();
    if (!record.alive || tid == 0) return;
    if (record.appliedNice == kNiceUnknown) {
        errno = 0;
        const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
        if (current == -1 && errno != 0) return;
        record.appliedNice = current;
    }
    const int current = record.appliedNice;
    if (current == target) return;
    const NiceLimits& limits = ProcessNiceLimits();
    if (!NiceStepAllowed(limits, current, target)) return;
    if (record.heldClass == 0 && std::min(current, target) < limits.lowestNice) return;
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), target) == 0) record.appliedNice = target;
}

// After the set of held classes changed: the followers take the new highest class.
void UpdateFollowersLocked() {
    ClassBook& book = Book();
    int highest = kNormalClassRow;
    for (int row = kClassCount - 1; row >= 0; --row) {
        if (book.holders[row] > 0) {
            highest = row;
            break;
        }
    }
    if (highest == book.followRow) return;
    book.followRow = highest;
    for (ThreadRecord* follower : book.followers) ApplyNiceLocked(*follower);
}

void HoldClassLocked(ThreadRecord& record, DWORD priorityClass) {
    ClassBook& book = Book();
    if (record.heldClass == priorityClass) return;
    if (record.heldClass != 0) {
        --book.holders[FindClassRow(record.heldClass)];
    } else {
        book.followers.erase(&record);
    }
    record.heldClass = priorityClass;
    ++book.holders[FindClassRow(priorityClass)];
}

}  // namespace

std::mutex& PriorityLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

void AttachThreadPriorityLocked(ThreadRecord& record) {
    if (record.priorityAttached) return;
    record.priorityAttached = true;
    if (record.heldClass == 0) Book().followers.insert(&record);
    ApplyNiceLocked(record);
}

void DetachThreadPriorityLocked(ThreadRecord& record) {
    if (!record.priorityAttached) return;
    record.priorityAttached = false;
    ClassBook& book = Book();
    if (record.heldClass != 0) {
        --book.holders[FindClassRow(record.heldClass)];
        record.heldClass = 0;
        UpdateFollowersLocked();
    } else {
        book.followers.erase(&record);
    }
}

BOOL MapPriorityToNice(DWORD priorityClass, int threadPriority, int* nice) {
    const int row = FindClassRow(priorityClass);
    const int column = FindThreadColumn(threadPriority);
    if (row < 0 || column < 0 || nice == nullptr) return FALSE;
    *nice = kNiceTable[row].nice[column];
    return TRUE;
}

BOOL SetPriorityClass(HANDLE process, DWORD priorityClass) {
    if (!IsCurrentProcess(process) || FindClassRow(priorityClass) < 0) return FALSE;
    ThreadRef self = CurrentThreadRecord();
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(PriorityLock());
    Book().lastSet = priorityClass;
    AttachThreadPriorityLocked(*self);
    HoldClassLocked(*self, priorityClass);
    ApplyNiceLocked(*self);
    UpdateFollowersLocked();
    return TRUE;
}

DWORD GetPriorityClass(HANDLE process) {
    if (!IsCurrentProcess(process)) return 0;
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(PriorityLock());
    return Book().lastSet;
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
    if (FindThreadColumn(priority) < 0) return FALSE;
    ThreadRef record = FindThreadByHandle(thread);
    if (record == nullptr) return FALSE;
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(PriorityLock());
    record->threadPriority = priority;
    if (record->priorityAttached) ApplyNiceLocked(*record);
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

BOOL PriorityChangeAllowed(DWORD fromClass, int fromPriority, DWORD toClass, int toPriority) {
    const int fromRow = FindClassRow(fromClass), toRow = FindClassRow(toClass);
    const int fromColumn = FindThreadColumn(fromPriority), toColumn = FindThreadColumn(toPriority);
    if (fromRow < 0 || toRow < 0 || fromColumn < 0 || toColumn < 0) return FALSE;
    return NiceStepAllowed(ProcessNiceLimits(), NiceForPair(fromRow, fromColumn), NiceForPair(toRow, toColumn))
               ? TRUE
               : FALSE;
}

std::string PriorityUnavailableReason(DWORD priorityClass, int threadPriority) {
    const int row = FindClassRow(priorityClass), column = FindThreadColumn(threadPriority);
    if (row < 0 || column < 0) return "Not a priority.";
    const NiceLimits& limits = ProcessNiceLimits();
    const int needed = NiceForPair(row, column);
    // A thread started now begins at the start value and may always go up from there.
    if (NiceStepAllowed(limits, limits.startNice, needed)) return {};
    char text[256];
    std::snprintf(text, sizeof text,
                  "Needs nice %d, but Linux lets this user set no value below %d (RLIMIT_NICE %ld, no "
                  "CAP_SYS_NICE). Run Ferrox as root or raise the limit (ulimit -e, limits.conf).",
                  needed, std::min(limits.startNice, limits.lowestNice), limits.rlimitNice);
    return text;
}
