// The only backend file that sees the Windows headers unchanged (see kernel_calls.h); it includes
// no public header of the platform layer.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/win32/kernel_calls.h"

namespace kernel {

void* CurrentThread() { return ::GetCurrentThread(); }
void* CurrentProcess() { return ::GetCurrentProcess(); }
unsigned long CurrentThreadId() { return ::GetCurrentThreadId(); }

unsigned long SuspendUntilStopped(void* thread) {
    const DWORD previous = ::SuspendThread(thread);
    if (previous == static_cast<DWORD>(-1)) return previous;
    // The documented way to wait until a suspension has taken effect: reading the registers
    // needs the thread stopped. The smallest set of registers is enough.
    alignas(16) CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    ::GetThreadContext(thread, &context);
    return previous;
}

unsigned long Resume(void* thread) { return ::ResumeThread(thread); }

unsigned long PriorityClassOf(void* process) { return ::GetPriorityClass(process); }
bool SetPriority(void* thread, int priority) { return ::SetThreadPriority(thread, priority) != 0; }
int PriorityOf(void* thread) { return ::GetThreadPriority(thread); }

}  // namespace kernel
