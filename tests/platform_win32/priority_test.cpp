// The Win32 priority mapping: the realtime class never reaches Windows, every other pair does as
// it is, and the getters return the values last set.

#include <gtest/gtest.h>

#include <atomic>

#include "platform/priority.h"
#include "platform/thread.h"
#include "platform/win32/kernel_calls.h"

namespace {

constexpr DWORD kClasses[] = {IDLE_PRIORITY_CLASS,         BELOW_NORMAL_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS,
                              ABOVE_NORMAL_PRIORITY_CLASS, HIGH_PRIORITY_CLASS,         REALTIME_PRIORITY_CLASS};
constexpr int kThreadPriorities[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,
                                     THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                     THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                     THREAD_PRIORITY_TIME_CRITICAL};

UINT WaitAtGate(LPVOID param) {
    static_cast<std::atomic<bool>*>(param)->wait(false);
    return 0;
}

// Puts the process back to Normal whatever a test did.
class PriorityTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    }
};

TEST_F(PriorityTest, BasePrioritiesFollowWindowsAndRealtimeIsTheHighClass) {
    // Windows' base priorities: Idle and Time Critical are fixed, the rest offsets from the class.
    const struct {
        DWORD priorityClass;
        int base[7];  // in the order of kThreadPriorities
    } expected[] = {
        {IDLE_PRIORITY_CLASS, {1, 2, 3, 4, 5, 6, 15}},
        {BELOW_NORMAL_PRIORITY_CLASS, {1, 4, 5, 6, 7, 8, 15}},
        {NORMAL_PRIORITY_CLASS, {1, 6, 7, 8, 9, 10, 15}},
        {ABOVE_NORMAL_PRIORITY_CLASS, {1, 8, 9, 10, 11, 12, 15}},
        {HIGH_PRIORITY_CLASS, {1, 11, 12, 13, 14, 15, 15}},
        {REALTIME_PRIORITY_CLASS, {1, 11, 12, 13, 14, 15, 15}},  // never 16-31
    };
    for (const auto& row : expected) {
        for (int column = 0; column < 7; ++column) {
            int base = 0;
            ASSERT_TRUE(MapPriorityToNice(row.priorityClass, kThreadPriorities[column], &base));
            EXPECT_EQ(base, row.base[column]) << "class " << row.priorityClass << " thread " << kThreadPriorities[column];
        }
    }
    int unused = 0;
    EXPECT_FALSE(MapPriorityToNice(0x1234, THREAD_PRIORITY_NORMAL, &unused));
    EXPECT_FALSE(MapPriorityToNice(NORMAL_PRIORITY_CLASS, 3, &unused));
}

TEST_F(PriorityTest, EveryPairReachesTheThreadExceptTheRealtimeClass) {
    std::atomic<bool> gate{false};
    CWinThread* thread = AfxBeginThread(WaitAtGate, &gate);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    for (DWORD priorityClass : kClasses) {
        for (int threadPriority : kThreadPriorities) {
            ASSERT_TRUE(SetPriorityClass(GetCurrentProcess(), priorityClass));
            ASSERT_TRUE(SetThreadPriority(thread->m_hThread, threadPriority));
            // The logical values come back as set ...
            EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), priorityClass);
            EXPECT_EQ(GetThreadPriority(thread->m_hThread), threadPriority);
            // ... and Windows holds the mapped pair, never the realtime class.
            const auto applied = static_cast<DWORD>(kernel::PriorityClassOf(kernel::CurrentProcess()));
            EXPECT_EQ(applied, priorityClass == REALTIME_PRIORITY_CLASS ? HIGH_PRIORITY_CLASS : priorityClass);
            int expected = 0, held = 0;
            ASSERT_TRUE(MapPriorityToNice(priorityClass, threadPriority, &expected));
            ASSERT_TRUE(QueryThreadNice(thread->m_hThread, &held));
            EXPECT_EQ(held, expected) << "class " << priorityClass << " thread " << threadPriority;
            EXPECT_LE(held, 15);
        }
    }
    gate.store(true);
    gate.notify_all();
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 5000), WAIT_OBJECT_0);
    delete thread;
}

TEST_F(PriorityTest, CallsOnTheCurrentThreadAndRefusals) {
    // A thread Ferrox did not start (this one) keeps its logical priority as well.
    ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_LOWEST);
    EXPECT_EQ(kernel::PriorityOf(kernel::CurrentThread()), THREAD_PRIORITY_LOWEST);

    EXPECT_FALSE(SetThreadPriority(GetCurrentThread(), 7));
    EXPECT_FALSE(SetPriorityClass(GetCurrentProcess(), 0x1234));
    EXPECT_FALSE(SetPriorityClass(GetCurrentThread(), HIGH_PRIORITY_CLASS));  // not a process handle
    EXPECT_EQ(GetPriorityClass(GetCurrentThread()), 0u);
    EXPECT_FALSE(SetThreadPriority(reinterpret_cast<HANDLE>(std::uintptr_t{0x7FFFFFF0}), THREAD_PRIORITY_NORMAL));
    EXPECT_EQ(GetThreadPriority(reinterpret_cast<HANDLE>(std::uintptr_t{0x7FFFFFF0})), THREAD_PRIORITY_ERROR_RETURN);
}

}  // namespace
