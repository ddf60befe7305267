// Thread objects, message queues, waits and handle lifetime.

#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

struct QueueProbe {
    std::atomic<bool> release{false};
    std::atomic<int> firstMessage{-1};
    std::atomic<int> messagesSeen{0};
};

// Waits to be released, then drains its queue.
UINT DrainQueueProc(LPVOID param) {
    auto* probe = static_cast<QueueProbe*>(param);
    probe->release.wait(false);
    MSG message;
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (probe->messagesSeen.fetch_add(1) == 0) probe->firstMessage.store(static_cast<int>(message.message));
    }
    return 0;
}

UINT ReturnAtOnceProc(LPVOID) { return 0; }

constexpr DWORD kGenerousWaitMs = 10000;

}  // namespace

TEST(ThreadTest, MessagePostedBeforeTheThreadRunsIsKept) {
    QueueProbe probe;
    CWinThread* thread = AfxBeginThread(DrainQueueProc, &probe, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    EXPECT_EQ(PostThreadMessage(thread->m_nThreadID, WM_QUIT, 0, 0), TRUE);
    EXPECT_EQ(ResumeThread(thread->m_hThread), 1u);
    probe.release.store(true);
    probe.release.notify_all();
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, kGenerousWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(probe.firstMessage.load(), static_cast<int>(WM_QUIT));
    EXPECT_EQ(probe.messagesSeen.load(), 1);
    delete thread;
}

TEST(ThreadTest, WaitTimesOutWhileTheThreadRunsAndSucceedsAfter) {
    QueueProbe probe;
    CWinThread* thread = AfxBeginThread(DrainQueueProc, &probe);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 20), WAIT_TIMEOUT);
    probe.release.store(true);
    probe.release.notify_all();
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, kGenerousWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 0), WAIT_OBJECT_0);
    delete thread;
}

TEST(ThreadTest, EndedThreadDropsMessagesAndItsHandleBecomesUnknown) {
    QueueProbe probe;
    probe.release.store(true);
    CWinThread* thread = AfxBeginThread(DrainQueueProc, &probe, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;  // before the thread can run and end
    ResumeThread(thread->m_hThread);
    const HANDLE handle = thread->m_hThread;
    const DWORD id = thread->m_nThreadID;
    ASSERT_EQ(WaitForSingleObject(handle, kGenerousWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(PostThreadMessage(id, WM_QUIT, 0, 0), FALSE);
    delete thread;
    // The handle outlived its object: every call on it fails instead of touching freed memory.
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
    EXPECT_EQ(SuspendThread(handle), 0xFFFFFFFFu);
    EXPECT_EQ(ResumeThread(handle), 0xFFFFFFFFu);
}

TEST(ThreadTest, SelfDeletingThreadObjectLeavesAFailingHandle) {
    // Read the handle while the thread cannot run yet: once it runs, its object may be gone.
    CWinThread* thread = AfxBeginThread(ReturnAtOnceProc, nullptr, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    const HANDLE handle = thread->m_hThread;
    ResumeThread(handle);
    const DWORD result = WaitForSingleObject(handle, kGenerousWaitMs);
    EXPECT_TRUE(result == WAIT_OBJECT_0 || result == WAIT_FAILED) << result;
    for (int attempt = 0; attempt < 1000 && WaitForSingleObject(handle, 0) != WAIT_FAILED; ++attempt) Sleep(1);
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
}

TEST(ThreadTest, ThreadIdsAndHandlesAreDistinct) {
    CWinThread* first = AfxBeginThread(ReturnAtOnceProc, nullptr, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    CWinThread* second = AfxBeginThread(ReturnAtOnceProc, nullptr, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    first->m_bAutoDelete = FALSE;
    second->m_bAutoDelete = FALSE;
    EXPECT_NE(first->m_nThreadID, second->m_nThreadID);
    EXPECT_NE(first->m_hThread, second->m_hThread);
    EXPECT_NE(first->m_hThread, GetCurrentThread());
    EXPECT_NE(first->m_hThread, GetCurrentProcess());
    EXPECT_NE(first->m_nThreadID, GetCurrentThreadId());
    for (CWinThread* thread : {first, second}) {
        ResumeThread(thread->m_hThread);
        EXPECT_EQ(WaitForSingleObject(thread->m_hThread, kGenerousWaitMs), WAIT_OBJECT_0);
        delete thread;
    }
}

TEST(ThreadTest, PeekMessageFiltersAndKeeps) {
    const DWORD self = GetCurrentThreadId();
    ASSERT_EQ(PostThreadMessage(self, 0x401, 7, -3), TRUE);
    ASSERT_EQ(PostThreadMessage(self, WM_QUIT, 0, 0), TRUE);
    MSG message{};
    // Filtered: the quit is found behind the other message, and PM_NOREMOVE leaves it.
    ASSERT_EQ(PeekMessage(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE), TRUE);
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(PeekMessage(&message, nullptr, 0, 0, PM_REMOVE), TRUE);
    EXPECT_EQ(message.message, 0x401u);
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_EQ(message.lParam, -3);
    EXPECT_EQ(PeekMessage(&message, nullptr, 0, 0, PM_REMOVE), TRUE);
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(PeekMessage(&message, nullptr, 0, 0, PM_REMOVE), FALSE);
    // Thread messages only: a window filter or a missing record finds nothing.
    PostThreadMessage(self, WM_QUIT, 0, 0);
    EXPECT_EQ(PeekMessage(&message, reinterpret_cast<HWND>(&message), 0, 0, PM_REMOVE), FALSE);
    EXPECT_EQ(PeekMessage(nullptr, nullptr, 0, 0, PM_REMOVE), FALSE);
    EXPECT_EQ(PeekMessage(&message, nullptr, 0, 0, PM_REMOVE), TRUE);
}

TEST(ThreadTest, UnknownHandlesFail) {
    const HANDLE never = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0xFFFFFFF0u));
    EXPECT_EQ(WaitForSingleObject(never, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(GetCurrentProcess(), 0), WAIT_FAILED);
    EXPECT_EQ(SuspendThread(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(AfxBeginThread(nullptr, nullptr), nullptr);
    EXPECT_EQ(PostThreadMessage(0, WM_QUIT, 0, 0), FALSE);
}
