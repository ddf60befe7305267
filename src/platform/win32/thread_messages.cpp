// Thread message queues on Windows' own: every thread AfxBeginThread starts has its queue before
// AfxBeginThread returns (thread.cpp), and a message for a thread whose procedure has returned is
// refused instead of reaching whatever thread Windows may later give the same id.

#include "platform/win32/windows_api.h"

#include "platform/win32/kernel_calls.h"
#include "platform/win32/thread_registry.h"

namespace {
// A running thread of this process that Ferrox did not start (the user-interface thread, say).
bool IsOtherThreadOfThisProcess(DWORD threadId) {
    HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, threadId);
    if (thread == nullptr) return false;
    const bool ours = GetProcessIdOfThread(thread) == GetCurrentProcessId() &&
                      WaitForNativeObject(thread, 0) == WAIT_TIMEOUT;
    CloseHandle(thread);
    return ours;
}
}  // namespace

BOOL PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    SuspendDeferral deferral;
    if (ThreadRef record = FindLiveThread(threadId)) {
        std::lock_guard<std::mutex> guard(record->lock);
        if (!record->alive) return FALSE;
        return PostThreadMessageW(threadId, message, wParam, lParam) ? TRUE : FALSE;
    }
    if (!IsOtherThreadOfThisProcess(threadId)) return FALSE;
    return PostThreadMessageW(threadId, message, wParam, lParam) ? TRUE : FALSE;
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (msg == nullptr || hwnd != nullptr) return FALSE;
    SuspendDeferral deferral;
    Win32MSG native;
    // A window handle of -1 asks Windows for thread messages only.
    if (!PeekMessageW(&native, reinterpret_cast<HWND>(-1), filterMin, filterMax, removeFlags)) return FALSE;
    *msg = MSG{nullptr, native.message, native.wParam, native.lParam, static_cast<DWORD>(native.time)};
    return TRUE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LONG DispatchMessage(const MSG*) { return 0; }
