// The chosen priority is what the workers run at for an ordinary user too: Linux lets such a user
// lower a thread's priority (raise its nice value) but never raise it again, so the SSE mix must
// not drop between passes when it could not come back, and a return from Low must restart the
// workers. The scenario runs in a child process without privileges (as "nobody", RLIMIT_NICE 0).

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "load/cpu_vendor.h"
#include "load/load_workers.h"
#include "platform/priority.h"

namespace {

constexpr const char* kChildVariable = "FERROX_UNPRIVILEGED_CHILD";

struct NiceLog {
    std::atomic<int> passes{0};
    std::atomic<int> lowest{100};
    std::atomic<int> highest{-100};
    void Reset() {
        lowest = 100;
        highest = -100;
        passes = 0;
    }
};

// At every pass start: the nice value the worker really holds.
void RecordNice(LoadWorkers&, void* context) {
    auto* log = static_cast<NiceLog*>(context);
    int nice = 0;
    if (!QueryThreadNice(GetCurrentThread(), &nice)) return;
    int seen = log->lowest.load();
    while (nice < seen && !log->lowest.compare_exchange_weak(seen, nice)) {
    }
    seen = log->highest.load();
    while (nice > seen && !log->highest.compare_exchange_weak(seen, nice)) {
    }
    log->passes.fetch_add(1);
}

bool WaitForPasses(NiceLog& log, int passes) {
    for (int attempt = 0; attempt < 3000 && log.passes.load() < passes; ++attempt) Sleep(10);
    return log.passes.load() >= passes;
}

}  // namespace

TEST(PriorityRights, ScenarioInChild) {
    if (std::getenv(kChildVariable) == nullptr) GTEST_SKIP() << "runs only in the unprivileged child";
    ASSERT_FALSE(PriorityUnavailableReason(HIGH_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL).empty())
        << "this child may raise priorities: it is not unprivileged";
    EXPECT_TRUE(PriorityUnavailableReason(IDLE_PRIORITY_CLASS, THREAD_PRIORITY_IDLE).empty());
    EXPECT_TRUE(PriorityUnavailableReason(NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL).empty());

    NiceLog log;
    LoadWorkers workers;
    workers.SetProcessorTraits(ProcessorTraits{CpuVendorIntel, true, false, false});  // the SSE mix
    workers.SetPinning(false);
    workers.SetPassObserver(RecordNice, &log);
    workers.StartWorkers(1);
    ASSERT_TRUE(WaitForPasses(log, 3));
    EXPECT_EQ(log.lowest.load(), 0);
    EXPECT_EQ(log.highest.load(), 0) << "Normal must hold at every pass, not only the first";

    EXPECT_FALSE(workers.SetPriorityPair(IDLE_PRIORITY_CLASS, THREAD_PRIORITY_IDLE)) << "lowering needs no restart";
    log.Reset();
    ASSERT_TRUE(WaitForPasses(log, 3));
    EXPECT_EQ(log.highest.load(), 19);
    log.Reset();
    ASSERT_TRUE(WaitForPasses(log, 2));
    EXPECT_EQ(log.lowest.load(), 19) << "Low holds at every pass";

    EXPECT_TRUE(workers.SetPriorityPair(NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL)) << "back from Low restarts";
    log.Reset();
    ASSERT_TRUE(WaitForPasses(log, 3));
    EXPECT_EQ(log.lowest.load(), 0);
    EXPECT_EQ(log.highest.load(), 0) << "after the restart the workers run at Normal again";
    workers.StopWorkers();
}

TEST(PriorityRights, OrdinaryUserGetsTheChosenPriority) {
    if (std::getenv(kChildVariable) != nullptr) GTEST_SKIP() << "the child runs the scenario itself";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // No privileges: RLIMIT_NICE 0 (the usual default), and as "nobody" when started as root.
        const rlimit none{0, 0};
        bool dropped = setrlimit(RLIMIT_NICE, &none) == 0;
        if (dropped && getuid() == 0) dropped = setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
        if (!dropped) _exit(77);
        setenv(kChildVariable, "1", 1);
        char* const arguments[] = {const_cast<char*>("load_tests"),
                                   const_cast<char*>("--gtest_filter=PriorityRights.ScenarioInChild"), nullptr};
        execv("/proc/self/exe", arguments);
        _exit(78);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died";
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot drop privileges here";
    if (WEXITSTATUS(status) == 78) GTEST_SKIP() << "cannot start the test program as another user";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the unprivileged scenario failed (its output is above)";
}
