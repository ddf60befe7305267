#pragma once
// Process priority classes and thread priorities with Win32's values, on the operating system's
// per-thread values (Linux: nice values), given by one mapping table (see priority.cpp).
//
// A priority class is held by the thread that set it, as the load workers do around each of their
// passes: that thread runs at its class combined with its own priority, and every thread that has
// never set a class (the window's thread among them) follows the highest class any thread holds,
// so the window never runs below the workers. A class change costs the same however many threads
// there are. GetPriorityClass returns the class last set by any thread.
//
// Linux lets a thread lower its priority (raise its nice value) freely, but raise it again only
// down to a floor (none with CAP_SYS_NICE; else set by RLIMIT_NICE). Changes the system would
// refuse are not made; PriorityChangeAllowed tells beforehand, so that callers never take a step
// they cannot undo. No real-time scheduling is ever used.

#include <string>

#include "platform/win_types.h"

// FALSE for a value that is not a priority class, or a handle other than GetCurrentProcess().
BOOL SetPriorityClass(HANDLE process, DWORD priorityClass);
DWORD GetPriorityClass(HANDLE process);  // 0 for a handle other than GetCurrentProcess()

// thread is GetCurrentThread() or a thread handle. FALSE for an unknown handle or a value that is
// not a thread priority.
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);  // THREAD_PRIORITY_ERROR_RETURN for an unknown handle

// The operating system's value for a class and a thread priority, relative to the value the
// process was started with (Linux: the nice value); fails (returns FALSE) for values outside the
// table.
BOOL MapPriorityToNice(DWORD priorityClass, int threadPriority, int* nice);
// The nice value the operating system holds for the thread now, read back; FALSE when unknown.
BOOL QueryThreadNice(HANDLE thread, int* nice);

// Whether this process may move a thread from the first pair to the second. Lowering a thread's
// priority is always allowed; raising it may not be.
BOOL PriorityChangeAllowed(DWORD fromClass, int fromPriority, DWORD toClass, int toPriority);
// Empty when a thread started now can run at the pair; otherwise one sentence saying why not, for
// the menus.
std::string PriorityUnavailableReason(DWORD priorityClass, int threadPriority);
