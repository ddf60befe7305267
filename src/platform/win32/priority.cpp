// Priority classes and thread priorities on Windows' own, with one exception: the realtime class
// is never used. It becomes the high class, where a thread's priority keeps its value; there
// Highest and Time Critical both reach base priority 15, the most a thread gets outside the
// realtime class, which would otherwise put the load above the desktop's own input threads. The
// getters return the logical values last set; the "nice" functions of priority.h report Windows'
// base priority (1-31) here, computed from the pair given and read back from the system.

#include "platform/win32/windows_api.h"

#include "platform/priority.h"
#include "platform/win32/kernel_calls.h"
#include "platform/win32/thread_registry.h"

namespace {

struct ClassRow {
    DWORD priorityClass;
    DWORD appliedClass;  // what Windows is given
    int basePriority;    // of a Normal thread in the applied class
};

constexpr ClassRow kClasses[] = {
    {IDLE_PRIORITY_CLASS, IDLE_PRIORITY_CLASS, 4},
    {BELOW_NORMAL_PRIORITY_CLASS, BELOW_NORMAL_PRIORITY_CLASS, 6},
    {NORMAL_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS, 8},
    {ABOVE_NORMAL_PRIORITY_CLASS, ABOVE_NORMAL_PRIORITY_CLASS, 10},
    {HIGH_PRIORITY_CLASS, HIGH_PRIORITY_CLASS, 13},
    {REALTIME_PRIORITY_CLASS, HIGH_PRIORITY_CLASS, 13},
};

constexpr int kThreadPriorities[] = {
    THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
    THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL,
};

std::atomic<DWORD> g_priorityClass{NORMAL_PRIORITY_CLASS};
// The logical priority of a thread AfxBeginThread did not start, for GetCurrentThread().
thread_local int t_otherThreadPriority = THREAD_PRIORITY_NORMAL;

const ClassRow* FindClassRow(DWORD priorityClass) {
    for (const ClassRow& row : kClasses)
        if (row.priorityClass == priorityClass) return &row;
    return nullptr;
}

bool IsThreadPriority(int threadPriority) {
    for (int value : kThreadPriorities)
        if (value == threadPriority) return true;
    return false;
}

// Windows' rule: Idle and Time Critical are fixed points outside the realtime class, the others
// are offsets from the class's base.
int BasePriority(const ClassRow& row, int threadPriority) {
    if (threadPriority == THREAD_PRIORITY_IDLE) return 1;
    if (threadPriority == THREAD_PRIORITY_TIME_CRITICAL) return 15;
    return row.basePriority + threadPriority;
}

bool IsCurrentProcess(HANDLE process) { return process == GetCurrentProcess(); }

}  // namespace

std::mutex& PriorityLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

int AppliedThreadPriority(int threadPriority) { return threadPriority; }

BOOL MapPriorityToNice(DWORD priorityClass, int threadPriority, int* nice) {
    const ClassRow* row = FindClassRow(priorityClass);
    if (row == nullptr || !IsThreadPriority(threadPriority) || nice == nullptr) return FALSE;
    *nice = BasePriority(*row, AppliedThreadPriority(threadPriority));
    return TRUE;
}

BOOL QueryThreadNice(HANDLE thread, int* nice) {
    const ThreadTarget target = FindThreadTarget(thread);
    if (!target.IsThread() || nice == nullptr) return FALSE;
    SuspendDeferral deferral;
    const DWORD appliedClass = static_cast<DWORD>(kernel::PriorityClassOf(kernel::CurrentProcess()));
    const int threadPriority = kernel::PriorityOf(target.native);
    const ClassRow* row = nullptr;
    for (const ClassRow& candidate : kClasses)
        if (candidate.appliedClass == appliedClass && row == nullptr) row = &candidate;
    if (row == nullptr || !IsThreadPriority(threadPriority)) return FALSE;
    *nice = BasePriority(*row, threadPriority);
    return TRUE;
}

BOOL SetPriorityClass(HANDLE process, DWORD priorityClass) {
    const ClassRow* row = FindClassRow(priorityClass);
    if (!IsCurrentProcess(process) || row == nullptr) return FALSE;
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(PriorityLock());
    if (g_priorityClass.load() == priorityClass) return TRUE;
    g_priorityClass.store(priorityClass);
    SetPriorityClass(kernel::CurrentProcess(), Win32DWORD{row->appliedClass});  // a refusal is ignored
    return TRUE;
}

DWORD GetPriorityClass(HANDLE process) { return IsCurrentProcess(process) ? g_priorityClass.load() : 0; }

BOOL SetThreadPriority(HANDLE thread, int priority) {
    if (!IsThreadPriority(priority)) return FALSE;
    const ThreadTarget target = FindThreadTarget(thread);
    if (!target.IsThread()) return FALSE;
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(PriorityLock());
    if (target.record != nullptr) {
        target.record->threadPriority = priority;
    } else {
        t_otherThreadPriority = priority;
    }
    kernel::SetPriority(target.native, AppliedThreadPriority(priority));  // a refusal is ignored
    return TRUE;
}

int GetThreadPriority(HANDLE thread) {
    const ThreadTarget target = FindThreadTarget(thread);
    if (!target.IsThread()) return THREAD_PRIORITY_ERROR_RETURN;
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(PriorityLock());
    return target.record != nullptr ? target.record->threadPriority : t_otherThreadPriority;
}

// Windows lets a process raise and lower its threads' priorities within the classes used here
// (the realtime class, which needs a privilege, is never applied): every change is allowed.
BOOL PriorityChangeAllowed(DWORD fromClass, int fromPriority, DWORD toClass, int toPriority) {
    return FindClassRow(fromClass) != nullptr && FindClassRow(toClass) != nullptr && IsThreadPriority(fromPriority) &&
                   IsThreadPriority(toPriority)
               ? TRUE
               : FALSE;
}

std::string PriorityUnavailableReason(DWORD priorityClass, int threadPriority) {
    if (FindClassRow(priorityClass) == nullptr || !IsThreadPriority(threadPriority)) return "Not a priority.";
    return {};
}
