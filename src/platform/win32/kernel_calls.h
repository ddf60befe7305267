// The kernel functions that thread.h and priority.h declare under Win32's own names and
// parameters (GetCurrentThread, SuspendThread, SetThreadPriority, ...). No file can see both
// declarations, so the backend reaches the Windows ones here, under other names; kernel_calls.cpp
// is the one file that includes the Windows headers as they are. Plain C++ types only.
#pragma once

namespace kernel {

void* CurrentThread();   // the pseudo-handle (HANDLE)-2
void* CurrentProcess();  // the pseudo-handle (HANDLE)-1
unsigned long CurrentThreadId();

// SuspendThread, then GetThreadContext, which returns only once the thread has really stopped
// (SuspendThread alone only asks the scheduler). The previous suspend count, or 0xFFFFFFFF.
unsigned long SuspendUntilStopped(void* thread);
unsigned long Resume(void* thread);

unsigned long PriorityClassOf(void* process);
bool SetPriority(void* thread, int priority);
int PriorityOf(void* thread);  // THREAD_PRIORITY_ERROR_RETURN on failure

}  // namespace kernel
