#pragma once
// Process priority classes and thread priorities with Win32's values. The class is one value for
// the process; each thread has its own priority; the operating system sees their combination,
// given by one mapping table (see priority.cpp). The getters return the values last set.
// Changes the operating system refuses are ignored; no real-time scheduling is ever used.

#include "platform/win_types.h"

// FALSE for a value that is not a priority class, or a handle other than GetCurrentProcess().
BOOL SetPriorityClass(HANDLE process, DWORD priorityClass);
DWORD GetPriorityClass(HANDLE process);  // 0 for a handle other than GetCurrentProcess()

// thread is GetCurrentThread() or a thread handle. FALSE for an unknown handle or a value that is
// not a thread priority.
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);  // THREAD_PRIORITY_ERROR_RETURN for an unknown handle

// The operating system's value for a class and a thread priority (Linux: the nice value);
// fails (returns FALSE) for values outside the table.
BOOL MapPriorityToNice(DWORD priorityClass, int threadPriority, int* nice);
// The nice value the operating system holds for the thread now, read back; FALSE when unknown.
BOOL QueryThreadNice(HANDLE thread, int* nice);
