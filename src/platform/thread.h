#pragma once
// Threads with Win32 semantics: a thread object carrying handle and id, thread message queues,
// suspend and resume, waits and the current-thread and current-process pseudo-handles.
//
// Handles are never dangling: a handle names a reference-counted thread record, and every call
// that takes a handle holds its own reference for as long as it runs. A handle whose thread object
// has been deleted is simply unknown (calls on it fail); a message posted to a thread id whose
// thread has ended is dropped. Every thread started here has its message queue from the moment it
// is created, so nothing posted to it before its first queue check is lost.

#include "platform/win_types.h"

using AFX_THREADPROC = UINT (*)(LPVOID);

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
};

// The framework's thread object. With m_bAutoDelete set (the default) it deletes itself when its
// thread ends; deleting it closes its handle.
class CWinThread {
public:
    CWinThread(AFX_THREADPROC proc, LPVOID param);
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = TRUE;

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

// Starts proc(param) on a new thread at the given thread priority. stackSize 0 gives Ferrox's
// default worker stack (large enough for the load kernels' work areas). flags may hold
// CREATE_SUSPENDED. security is ignored. Returns null when the thread cannot be created.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD flags = 0, void* security = nullptr);

// Why the calling thread's last AfxBeginThread returned null ("Resource temporarily unavailable");
// empty when it has not failed.
const char* LastThreadStartFailure();

HANDLE GetCurrentThread();   // pseudo-handle: always means the calling thread
HANDLE GetCurrentProcess();  // pseudo-handle: always means this process
DWORD GetCurrentThreadId();

// Queues a message for the thread; FALSE (and the message dropped) when no live thread has that id.
BOOL PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
// Thread messages only: hwnd must be null. min = max = 0 accepts every message. TRUE when a message
// was found (and, with PM_REMOVE, taken from the queue).
BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
// Thread messages have no window: both are no-ops kept for the message loop's shape.
BOOL TranslateMessage(const MSG* msg);
LONG DispatchMessage(const MSG* msg);

// Stop and restart a thread wherever it is; both return the previous suspend count, or
// 0xFFFFFFFF on failure. SuspendThread returns once the thread has really stopped.
DWORD SuspendThread(HANDLE thread);
DWORD ResumeThread(HANDLE thread);

// Waits for a thread to end: WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED for an unknown handle.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
void Sleep(DWORD milliseconds);

// The processor time the thread has used (Linux keeps one clock per thread: it is reported as
// user time, kernel time 0). Creation and exit times are not kept (0); any pointer may be null.
BOOL GetThreadTimes(HANDLE thread, FILETIME* creation, FILETIME* exit, FILETIME* kernel, FILETIME* user);

// Names the calling thread for tools that list threads (top -H, debuggers); at most 15 characters
// are kept.
void SetCurrentThreadName(const char* name);
