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

// Every entry of the table from Windows' base-priority rule: the class's base (Idle 4, Below
// normal 6, Normal 8, Above normal 10, High 13, Realtime 24) moved by the thread priority (-2 to
// +2), with Idle giving 1 (16 in the realtime class) and Time critical 15 (31); then the base
// priority's nice value.
TEST(PriorityTest, EveryPairFollowsTheBasePriorityRule) {
    const int classBase[] = {4, 6, 8, 10, 13, 24};
    auto niceForBase = [](int base) {
        const int nice[] = {19, 19, 17, 15, 12, 10, 5, 2, 0, -2, -4, -5, -6, -7, -8};  // base 0-14
        return base >= 15 ? -10 : nice[base];
    };
    int checked = 0;
    for (int row = 0; row < 6; ++row) {
        const bool realtime = kClasses[row] == REALTIME_PRIORITY_CLASS;
        for (const int threadPriority : kThreadPriorities) {
            int base = classBase[row] + threadPriority;
            if (threadPriority == THREAD_PRIORITY_IDLE) base = realtime ? 16 : 1;
            if (threadPriority == THREAD_PRIORITY_TIME_CRITICAL) base = realtime ? 31 : 15;
            int nice = 99;
            ASSERT_EQ(MapPriorityToNice(kClasses[row], threadPriority, &nice), TRUE);
            EXPECT_EQ(nice, niceForBase(base)) << std::hex << kClasses[row] << std::dec << " " << threadPriority;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 42);
}

// The window's thread never sets a class: it follows the highest class any thread holds, and comes
// back when that thread lets go. (Raising priorities needs privileges.)
TEST(PriorityTest, ThreadsWithoutAClassFollowTheHighestHeldOne) {
    if (!PriorityUnavailableReason(REALTIME_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL).empty())
        GTEST_SKIP() << "this process may not raise priorities";
    struct Holder {
        std::atomic<DWORD> wanted{0};
        std::atomic<bool> done{false};
    } holder;
    auto holdProc = [](LPVOID param) -> UINT {
        auto* h = static_cast<Holder*>(param);
        DWORD held = 0;
        while (!h->done.load()) {
            const DWORD wanted = h->wanted.load();
            if (wanted != held && wanted != 0) SetPriorityClass(GetCurrentProcess(), held = wanted);
            Sleep(1);
        }
        return 0;
    };
    GatedThread follower(THREAD_PRIORITY_NORMAL);
    CWinThread* worker = AfxBeginThread(holdProc, &holder, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(worker, nullptr);
    worker->m_bAutoDelete = FALSE;
    ResumeThread(worker->m_hThread);
    const struct {
        DWORD held;
        int followerNice;
    } steps[] = {{REALTIME_PRIORITY_CLASS, -10}, {HIGH_PRIORITY_CLASS, -7}, {NORMAL_PRIORITY_CLASS, 0},
                 {HIGH_PRIORITY_CLASS, -7}};
    for (const auto& step : steps) {
        holder.wanted = step.held;
        EXPECT_TRUE(ReadsNice(follower.handle(), step.followerNice)) << std::hex << step.held;
    }
    holder.done = true;
    WaitForSingleObject(worker->m_hThread, INFINITE);
    delete worker;
    EXPECT_TRUE(ReadsNice(follower.handle(), 0)) << "a holder that ends lets go of its class";
}
