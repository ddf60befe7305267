// Priority classes and thread priorities: the mapping onto nice values and its application.

#include "platform/priority.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/thread.h"

namespace {

constexpr DWORD kClasses[] = {IDLE_PRIORITY_CLASS,         BELOW_NORMAL_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS,
                              ABOVE_NORMAL_PRIORITY_CLASS, HIGH_PRIORITY_CLASS,         REALTIME_PRIORITY_CLASS};
constexpr int kThreadPriorities[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,
                                     THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                     THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                     THREAD_PRIORITY_TIME_CRITICAL};

struct Gate {
    std::atomic<bool> open{false};
};

UINT WaitAtGateProc(LPVOID param) {
    static_cast<Gate*>(param)->open.wait(false);
    return 0;
}

// A live thread for the test, ended and freed at scope exit.
class GatedThread {
public:
    explicit GatedThread(int priority) {
        thread_ = AfxBeginThread(WaitAtGateProc, &gate_, priority, 0, CREATE_SUSPENDED);
        if (thread_ == nullptr) return;
        thread_->m_bAutoDelete = FALSE;
        ResumeThread(thread_->m_hThread);
    }
    ~GatedThread() {
        if (thread_ == nullptr) return;
        gate_.open.store(true);
        gate_.open.notify_all();
        WaitForSingleObject(thread_->m_hThread, INFINITE);
        delete thread_;
    }
    HANDLE handle() const { return thread_ != nullptr ? thread_->m_hThread : nullptr; }

private:
    Gate gate_;
    CWinThread* thread_ = nullptr;
};

// The thread applies its nice value as it starts: poll until it has (bounded).
bool ReadsNice(HANDLE thread, int expected) {
    int nice = 0;
    for (int attempt = 0; attempt < 2000; ++attempt) {
        if (QueryThreadNice(thread, &nice) && nice == expected) return true;
        Sleep(1);
    }
    return false;
}

}  // namespace

TEST(PriorityTest, MappingMatchesTheBasePriorities) {
    struct Case {
        DWORD priorityClass;
        int threadPriority;
        int nice;
    };
    const Case cases[] = {
        {NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL, 0},
        {NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_BELOW_NORMAL, 2},
        {NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL, -2},
        {IDLE_PRIORITY_CLASS, THREAD_PRIORITY_IDLE, 19},
        {IDLE_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL, 12},
        {HIGH_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL, -8},
        {REALTIME_PRIORITY_CLASS, THREAD_PRIORITY_TIME_CRITICAL, -10},
        // Windows gives both base priority 10: the same nice value.
        {NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST, -4},
        {ABOVE_NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL, -4},
    };
    for (const Case& c : cases) {
        int nice = 99;
        EXPECT_EQ(MapPriorityToNice(c.priorityClass, c.threadPriority, &nice), TRUE);
        EXPECT_EQ(nice, c.nice) << std::hex << c.priorityClass << std::dec << " " << c.threadPriority;
    }
}

TEST(PriorityTest, MappingOrdersEveryPairAndStaysInTheUsableRange) {
    for (int row = 0; row < 6; ++row) {
        int previous = 20;
        for (const int threadPriority : kThreadPriorities) {
            int nice = 0;
            ASSERT_EQ(MapPriorityToNice(kClasses[row], threadPriority, &nice), TRUE);
            EXPECT_LE(nice, previous) << "a higher thread priority never gets a larger nice value";
            EXPECT_GE(nice, -10) << "no pair may take the desktop's processors away";
            EXPECT_LE(nice, 19);
            if (row > 0 && threadPriority != THREAD_PRIORITY_IDLE && threadPriority != THREAD_PRIORITY_TIME_CRITICAL) {
                int lowerClassNice = 0;
                MapPriorityToNice(kClasses[row - 1], threadPriority, &lowerClassNice);
                EXPECT_TRUE(nice < lowerClassNice || nice == -10)
                    << "a higher class raises every ordinary thread priority up to the limit";
            }
            previous = nice;
        }
    }
}

TEST(PriorityTest, MappingRefusesValuesOutsideTheTable) {
    int nice = 42;
    EXPECT_EQ(MapPriorityToNice(0, THREAD_PRIORITY_NORMAL, &nice), FALSE);
    EXPECT_EQ(MapPriorityToNice(0x20 | 0x40, THREAD_PRIORITY_NORMAL, &nice), FALSE);
    EXPECT_EQ(MapPriorityToNice(NORMAL_PRIORITY_CLASS, 3, &nice), FALSE);
    EXPECT_EQ(MapPriorityToNice(NORMAL_PRIORITY_CLASS, -16, &nice), FALSE);
    EXPECT_EQ(MapPriorityToNice(NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL, nullptr), FALSE);
    EXPECT_EQ(nice, 42);
    EXPECT_EQ(SetPriorityClass(GetCurrentProcess(), 0x1234), FALSE);
    EXPECT_EQ(SetPriorityClass(GetCurrentThread(), NORMAL_PRIORITY_CLASS), FALSE);
    EXPECT_EQ(SetThreadPriority(GetCurrentThread(), 7), FALSE);
    EXPECT_EQ(SetThreadPriority(nullptr, THREAD_PRIORITY_NORMAL), FALSE);
    EXPECT_EQ(GetThreadPriority(nullptr), THREAD_PRIORITY_ERROR_RETURN);
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), NORMAL_PRIORITY_CLASS);
}

// Raising nice values is allowed to every user, so these changes take effect without privileges.
TEST(PriorityTest, ThreadValueCombinesTheClassAndItsOwnPriority) {
    ASSERT_EQ(GetPriorityClass(GetCurrentProcess()), NORMAL_PRIORITY_CLASS);
    GatedThread worker(THREAD_PRIORITY_LOWEST);
    ASSERT_NE(worker.handle(), nullptr);
    EXPECT_EQ(GetThreadPriority(worker.handle()), THREAD_PRIORITY_LOWEST);
    EXPECT_TRUE(ReadsNice(worker.handle(), 5));

    EXPECT_EQ(SetThreadPriority(worker.handle(), THREAD_PRIORITY_BELOW_NORMAL), TRUE);
    EXPECT_EQ(GetThreadPriority(worker.handle()), THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_TRUE(ReadsNice(worker.handle(), 2) || ReadsNice(worker.handle(), 5)) << "lowering may be refused";

    // The class reaches every live thread without touching its own priority.
    EXPECT_EQ(SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS), TRUE);
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), IDLE_PRIORITY_CLASS);
    EXPECT_EQ(GetThreadPriority(worker.handle()), THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_TRUE(ReadsNice(worker.handle(), 15));
    GatedThread later(THREAD_PRIORITY_NORMAL);
    EXPECT_TRUE(ReadsNice(later.handle(), 12)) << "a thread started later also takes the class";

    SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);  // lowering back may be refused
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(GetThreadPriority(later.handle()), THREAD_PRIORITY_NORMAL);
}

TEST(PriorityTest, CurrentThreadPseudoHandleKeepsItsOwnValue) {
    const int before = GetThreadPriority(GetCurrentThread());
    EXPECT_EQ(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST), TRUE);
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_LOWEST);
    int nice = 0;
    EXPECT_EQ(QueryThreadNice(GetCurrentThread(), &nice), TRUE);
    EXPECT_GE(nice, 5);
    SetThreadPriority(GetCurrentThread(), before);
}
