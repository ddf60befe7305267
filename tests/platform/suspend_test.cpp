// Suspend and resume stop a thread wherever it is and keep its state.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/priority.h"
#include "platform/thread.h"

namespace {

struct Spinner {
    std::atomic<bool> stop{false};
    std::atomic<unsigned long long> steps{0};
};

UINT SpinProc(LPVOID param) {
    auto* spinner = static_cast<Spinner*>(param);
    while (!spinner->stop.load(std::memory_order_relaxed)) spinner->steps.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

unsigned long long CpuNanoseconds(HANDLE thread) {
    FILETIME user{};
    EXPECT_EQ(GetThreadTimes(thread, nullptr, nullptr, nullptr, &user), TRUE);
    return ((static_cast<unsigned long long>(user.dwHighDateTime) << 32) | user.dwLowDateTime) * 100;
}

// ThreadSanitizer runs a signal handler that was pending (held back until the thread enters the C
// library) with every signal blocked, and when that handler itself waits for a second signal, as
// the suspend handler waits for the resume, the mask it puts back afterwards is the all-blocked one:
// once woken from one suspension the thread never takes the next suspend signal. Tests that suspend
// a running thread again and again cannot run under it.
bool SignalsHeldBackBySanitizer() {
#if defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}
constexpr const char* kHeldBackReason =
    "ThreadSanitizer leaves a thread resumed from its suspend handler with every signal blocked: no second suspension";

// Polls until the spinner has advanced past mark (bounded, so a fault fails instead of hanging).
bool AdvancesPast(const Spinner& spinner, unsigned long long mark) {
    for (int attempt = 0; attempt < 5000; ++attempt) {
        if (spinner.steps.load() > mark) return true;
        Sleep(1);
    }
    return false;
}

}  // namespace

TEST(SuspendTest, SuspendedThreadMakesNoProgressAndResumesWhereItWas) {
    Spinner spinner;
    CWinThread* thread = AfxBeginThread(SpinProc, &spinner, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    ResumeThread(thread->m_hThread);
    ASSERT_TRUE(AdvancesPast(spinner, 1000));

    EXPECT_EQ(SuspendThread(thread->m_hThread), 0u);
    const unsigned long long stepsAtSuspend = spinner.steps.load();
    const unsigned long long cpuAtSuspend = CpuNanoseconds(thread->m_hThread);
    Sleep(150);
    EXPECT_EQ(spinner.steps.load(), stepsAtSuspend);
    EXPECT_LT(CpuNanoseconds(thread->m_hThread) - cpuAtSuspend, 5000000ull);  // under 5 ms of 150

    // Counted: two suspends need two resumes.
    EXPECT_EQ(SuspendThread(thread->m_hThread), 1u);
    EXPECT_EQ(ResumeThread(thread->m_hThread), 2u);
    Sleep(20);
    EXPECT_EQ(spinner.steps.load(), stepsAtSuspend);
    EXPECT_EQ(ResumeThread(thread->m_hThread), 1u);
    EXPECT_TRUE(AdvancesPast(spinner, stepsAtSuspend));
    EXPECT_EQ(ResumeThread(thread->m_hThread), 0u);  // not suspended: nothing to undo

    spinner.stop.store(true);
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(SuspendThread(thread->m_hThread), 0xFFFFFFFFu);  // ended
    delete thread;
}

// The thread has stopped by the time SuspendThread returns: not one step more after the call, in
// many rounds (a suspend that returned early shows in some of them).
TEST(SuspendTest, SuspendReturnsOnlyOnceTheThreadHasStopped) {
    if (SignalsHeldBackBySanitizer()) GTEST_SKIP() << kHeldBackReason;
    Spinner spinner;
    CWinThread* thread = AfxBeginThread(SpinProc, &spinner, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    ResumeThread(thread->m_hThread);
    int moved = 0;
    for (int round = 0; round < 50; ++round) {
        ASSERT_TRUE(AdvancesPast(spinner, spinner.steps.load()));
        ASSERT_EQ(SuspendThread(thread->m_hThread), 0u);
        const unsigned long long atReturn = spinner.steps.load();
        for (int read = 0; read < 20000; ++read) {
            if (spinner.steps.load() != atReturn) {
                ++moved;
                break;
            }
        }
        ResumeThread(thread->m_hThread);
    }
    EXPECT_EQ(moved, 0) << "rounds in which the thread went on after SuspendThread returned";
    spinner.stop.store(true);
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 10000), WAIT_OBJECT_0);
    delete thread;
}

TEST(SuspendTest, ThreadCreatedSuspendedWaitsForItsResume) {
    Spinner spinner;
    CWinThread* thread = AfxBeginThread(SpinProc, &spinner, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    Sleep(50);
    EXPECT_EQ(spinner.steps.load(), 0ull);
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 0), WAIT_TIMEOUT);
    EXPECT_EQ(ResumeThread(thread->m_hThread), 1u);
    EXPECT_TRUE(AdvancesPast(spinner, 0));
    spinner.stop.store(true);
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 10000), WAIT_OBJECT_0);
    delete thread;
}

TEST(SuspendTest, SuspendingAThreadThatIsEndingNeverHangs) {
    // Many short threads suspended and resumed around their end: every call returns.
    for (int round = 0; round < 50; ++round) {
        Spinner spinner;
        spinner.stop.store(true);
        CWinThread* thread = AfxBeginThread(SpinProc, &spinner, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        ASSERT_NE(thread, nullptr);
        thread->m_bAutoDelete = FALSE;
        ResumeThread(thread->m_hThread);
        const DWORD previous = SuspendThread(thread->m_hThread);
        if (previous != 0xFFFFFFFFu) ResumeThread(thread->m_hThread);
        EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 10000), WAIT_OBJECT_0);
        delete thread;
    }
}

namespace {

UINT PriorityChurnProc(LPVOID param) {
    auto* spinner = static_cast<Spinner*>(param);
    while (!spinner->stop.load(std::memory_order_relaxed)) {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
        MSG message;
        PeekMessage(&message, nullptr, 0, 0, PM_REMOVE);
        spinner->steps.fetch_add(1, std::memory_order_relaxed);
    }
    return 0;
}

// Runs work on a thread of its own and waits for it at most seconds: a platform call that deadlocks
// fails the test (the test program ends: the stuck threads cannot be let go) instead of hanging it.
template <typename Work>
void RunWithin(int seconds, const char* what, Work work) {
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    std::thread runner([&] {
        work();
        std::lock_guard<std::mutex> guard(lock);
        done = true;
        ended.notify_all();
    });
    std::unique_lock<std::mutex> guard(lock);
    if (!ended.wait_for(guard, std::chrono::seconds(seconds), [&] { return done; })) {
        std::fprintf(stderr, "FAILED: %s did not end within %d s (deadlocked)\n", what, seconds);
        std::fflush(stderr);
        std::_Exit(1);
    }
    guard.unlock();
    runner.join();
}

}  // namespace

// A thread is never stopped while it holds one of the platform's locks, so the suspender can go on
// using the same calls on it. Each round lets the thread run on after its resume for a while that
// differs from round to round, so the suspensions land all over its loop, inside and outside the
// platform's calls (a stop inside one deadlocks the next call on the thread: the test fails).
TEST(SuspendTest, SuspendingAThreadInsidePlatformCallsNeverBlocksTheSuspender) {
    if (SignalsHeldBackBySanitizer()) GTEST_SKIP() << kHeldBackReason;
    Spinner spinner;
    CWinThread* thread = AfxBeginThread(PriorityChurnProc, &spinner, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    ResumeThread(thread->m_hThread);
    ASSERT_TRUE(AdvancesPast(spinner, 100));
    RunWithin(30, "suspending a thread inside platform calls", [&] {
        for (int round = 0; round < 400; ++round) {
            ASSERT_EQ(SuspendThread(thread->m_hThread), 0u);
            EXPECT_EQ(SetThreadPriority(thread->m_hThread, THREAD_PRIORITY_NORMAL), TRUE);
            EXPECT_EQ(GetThreadPriority(thread->m_hThread), THREAD_PRIORITY_NORMAL);
            EXPECT_EQ(PostThreadMessage(thread->m_nThreadID, 0x401, 0, 0), TRUE);
            const unsigned long long steps = spinner.steps.load();
            ASSERT_EQ(ResumeThread(thread->m_hThread), 1u);
            // Out of the suspension and some of its loop again, then on for 0 to 63 us more.
            ASSERT_TRUE(AdvancesPast(spinner, steps + 1));
            const auto resumed = std::chrono::steady_clock::now();
            while (std::chrono::steady_clock::now() - resumed < std::chrono::microseconds(round % 64)) {
            }
        }
    });
    spinner.stop.store(true);
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 10000), WAIT_OBJECT_0);
    delete thread;
}
