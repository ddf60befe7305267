// Win32 threads: suspension that really stops a worker (also one that keeps calling into the
// platform layer), message queues that exist from creation, and handles that go with their object.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/priority.h"
#include "platform/thread.h"
#include "platform/window_defs.h"

namespace {

constexpr UINT kPing = WM_USER + 7;

struct Worker {
    std::atomic<std::uint64_t> progress{0};
    std::atomic<bool> quit{false};
    std::atomic<int> pings{0};
    bool callPlatform = false;
};

// Spins like a load kernel; with callPlatform it also takes the platform's locks on every turn,
// as the load workers do between passes.
UINT Spin(LPVOID param) {
    auto* worker = static_cast<Worker*>(param);
    MSG message;
    while (!worker->quit.load(std::memory_order_relaxed)) {
        worker->progress.fetch_add(1, std::memory_order_relaxed);
        if (worker->callPlatform) {
            while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) return 0;
                if (message.message == kPing) worker->pings.fetch_add(1);
            }
            SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
            SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
        }
    }
    return 0;
}

CWinThread* Start(Worker& worker) {
    CWinThread* thread = AfxBeginThread(Spin, &worker, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (thread != nullptr) {
        thread->m_bAutoDelete = FALSE;
        ResumeThread(thread->m_hThread);
    }
    return thread;
}

void WaitForProgress(const Worker& worker) {
    const std::uint64_t start = worker.progress.load();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (worker.progress.load() == start && std::chrono::steady_clock::now() < deadline) Sleep(1);
}

void Finish(Worker& worker, CWinThread* thread) {
    worker.quit.store(true);
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 5000), WAIT_OBJECT_0);
    delete thread;
}

// Runs calls of the suspender while the worker is stopped. Should they wait for something the
// stopped worker holds, a watchdog resumes the worker after ten seconds, so that the test fails
// instead of hanging. True when the calls returned by themselves.
template <typename Calls>
bool ReturnWhileStopped(HANDLE worker, Calls calls) {
    std::mutex mutex;
    std::condition_variable finishedChanged;
    bool finished = false;
    bool rescued = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!finishedChanged.wait_for(lock, std::chrono::seconds(10), [&] { return finished; })) {
            rescued = true;
            ResumeThread(worker);
        }
    });
    calls();
    {
        std::lock_guard<std::mutex> lock(mutex);
        finished = true;
    }
    finishedChanged.notify_one();
    watchdog.join();
    return !rescued;
}

// Table-driven over the two kinds of worker: a pure spin, and one inside the platform layer nearly
// all of the time, in Windows calls that take the platform's locks (SuspendThread must never leave
// it stopped there).
TEST(Win32ThreadTest, SuspendThreadReturnsOnlyOnceTheWorkerHasStopped) {
    for (bool callPlatform : {false, true}) {
        SCOPED_TRACE(callPlatform ? "worker calling the platform layer" : "spinning worker");
        Worker worker;
        worker.callPlatform = callPlatform;
        CWinThread* thread = Start(worker);
        ASSERT_NE(thread, nullptr);
        for (int round = 0; round < 20; ++round) {
            WaitForProgress(worker);
            ASSERT_EQ(SuspendThread(thread->m_hThread), 0u);
            const std::uint64_t stoppedAt = worker.progress.load();
            // The suspender can still use what the worker uses: no lock is held by a stopped worker.
            const bool returned = ReturnWhileStopped(thread->m_hThread, [&] {
                EXPECT_TRUE(PostThreadMessage(thread->m_nThreadID, kPing, 0, 0));
                EXPECT_TRUE(SetThreadPriority(thread->m_hThread, THREAD_PRIORITY_NORMAL));
            });
            if (!returned) {
                Finish(worker, thread);
                FAIL() << "round " << round << ": the suspender waited for a lock the stopped worker held";
            }
            Sleep(5);
            ASSERT_EQ(worker.progress.load(), stoppedAt) << "round " << round;
            EXPECT_EQ(SuspendThread(thread->m_hThread), 1u);  // counts nest
            EXPECT_EQ(ResumeThread(thread->m_hThread), 2u);
            EXPECT_EQ(ResumeThread(thread->m_hThread), 1u);
        }
        WaitForProgress(worker);
        Finish(worker, thread);
        if (callPlatform) {
            EXPECT_GT(worker.pings.load(), 0);
        }
    }
    SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
}

UINT WaitForQuit(LPVOID param) {
    MSG message;
    while (!PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) Sleep(1);
    *static_cast<UINT*>(param) = message.message;
    return 0;
}

TEST(Win32ThreadTest, AMessagePostedBeforeTheFirstQueueCheckIsKept) {
    UINT received = 0;
    CWinThread* thread = AfxBeginThread(WaitForQuit, &received, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    // Still suspended: the thread has not looked at its queue, yet the queue is there.
    ASSERT_TRUE(PostThreadMessage(thread->m_nThreadID, WM_QUIT, 0, 0));
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 50), WAIT_TIMEOUT);
    EXPECT_EQ(ResumeThread(thread->m_hThread), 1u);
    ASSERT_EQ(WaitForSingleObject(thread->m_hThread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(received, WM_QUIT);
    // The thread has ended: no more messages, no suspension, and its handle goes with the object.
    EXPECT_FALSE(PostThreadMessage(thread->m_nThreadID, WM_QUIT, 0, 0));
    EXPECT_EQ(SuspendThread(thread->m_hThread), 0xFFFFFFFFu);
    const HANDLE handle = thread->m_hThread;
    delete thread;
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
    EXPECT_EQ(GetThreadPriority(handle), THREAD_PRIORITY_ERROR_RETURN);
}

UINT Nothing(LPVOID) { return 0; }

TEST(Win32ThreadTest, AnAutoDeletingThreadTakesItsHandleWithIt) {
    CWinThread* thread = AfxBeginThread(Nothing, nullptr);
    ASSERT_NE(thread, nullptr);
    const HANDLE handle = thread->m_hThread;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (WaitForSingleObject(handle, 10) != WAIT_FAILED && std::chrono::steady_clock::now() < deadline) {
    }
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
}

}  // namespace
