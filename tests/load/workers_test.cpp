// Starting and stopping load workers, their queue checks, priorities and suspension.

#include "load/load_workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/priority.h"
#include "x87_state.h"

namespace {

constexpr DWORD kGenerousWaitMs = 60000;

// What a worker saw at the start of each of its passes, recorded on the worker thread.
struct PassLog {
    struct Entry {
        DWORD threadId;
        DWORD priorityClass;
        int threadPriority;
        std::uint16_t x87Tags;
    };
    std::mutex lock;
    std::vector<Entry> entries;
    std::atomic<int> passes{0};
    std::function<void(LoadWorkers&, int pass)> action;  // runs on the worker, after the entry

    std::vector<Entry> Snapshot() {
        std::lock_guard<std::mutex> guard(lock);
        return entries;
    }
    // Polls, bounded, so that a fault fails the test instead of hanging it.
    bool WaitForPasses(int count) {
        for (int attempt = 0; attempt < 60000 && passes.load() < count; ++attempt) Sleep(1);
        return passes.load() >= count;
    }
};

void RecordPass(LoadWorkers& workers, void* context) {
    auto* log = static_cast<PassLog*>(context);
    const PassLog::Entry entry{GetCurrentThreadId(), GetPriorityClass(GetCurrentProcess()),
                               GetThreadPriority(GetCurrentThread()), ReadX87TagWord()};
    int pass = 0;
    {
        std::lock_guard<std::mutex> guard(log->lock);
        log->entries.push_back(entry);
        pass = static_cast<int>(log->entries.size()) - 1;
    }
    log->passes.fetch_add(1);
    if (log->action) log->action(workers, pass);
}

void QuitOwnThread() { PostThreadMessage(GetCurrentThreadId(), WM_QUIT, 0, 0); }

UINT SseKernelProc(LPVOID param) { return static_cast<LoadWorkers*>(param)->RunSseKernel(); }
UINT X87KernelProc(LPVOID param) { return static_cast<LoadWorkers*>(param)->RunX87Kernel(); }

// A thread owned by the test (no self-deletion), started suspended.
CWinThread* BeginOwnedSuspended(AFX_THREADPROC proc, LPVOID param) {
    CWinThread* thread = AfxBeginThread(proc, param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (thread != nullptr) thread->m_bAutoDelete = FALSE;
    return thread;
}

CWinThread* BeginOwned(AFX_THREADPROC proc, LPVOID param) {
    CWinThread* thread = BeginOwnedSuspended(proc, param);
    if (thread != nullptr) ResumeThread(thread->m_hThread);
    return thread;
}

// Runs proc on its own thread until it returns; false if it did not within the generous wait.
bool RunToEnd(CWinThread* thread) {
    const bool ended = thread != nullptr && WaitForSingleObject(thread->m_hThread, kGenerousWaitMs) == WAIT_OBJECT_0;
    delete thread;
    return ended;
}

unsigned long long CpuNanoseconds(HANDLE thread) {
    FILETIME user{};
    GetThreadTimes(thread, nullptr, nullptr, nullptr, &user);
    return ((static_cast<unsigned long long>(user.dwHighDateTime) << 32) | user.dwLowDateTime) * 100;
}

unsigned OccupiedSlots(const LoadWorkers& workers) {
    unsigned occupied = 0;
    for (CWinThread* worker : workers.m_workers) occupied += worker != nullptr ? 1 : 0;
    return occupied;
}

// A worker stuck inside a long pass: it sees its queue only when released.
struct StuckWorkers {
    std::atomic<bool> release{false};
    std::atomic<int> quitsSeen{0};

    void Release() {
        release.store(true);
        release.notify_all();
    }
};

UINT StuckProc(LPVOID param) {
    auto* stuck = static_cast<StuckWorkers*>(param);
    stuck->release.wait(false);
    MSG message;
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE))
        if (message.message == WM_QUIT) stuck->quitsSeen.fetch_add(1);
    return 0;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(LoadWorkersTest, TableHasAtLeastSixteenSlotsAndStartsEmpty) {
    LoadWorkers workers;
    EXPECT_GE(workers.WorkerSlotCount(), LoadWorkers::kMinimumWorkerSlots);
    EXPECT_EQ(OccupiedSlots(workers), 0u);
    EXPECT_EQ(workers.m_workerCount, 0u);
    EXPECT_EQ(workers.m_priorityClass.load(), NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(workers.m_threadPriority.load(), THREAD_PRIORITY_NORMAL);
    workers.StopWorkers();  // nothing to stop
    EXPECT_EQ(WorkerThreadProc(nullptr), 0u);
}

TEST(LoadWorkersTest, CountZeroStopsEveryWorker) {
    PassLog log;
    LoadWorkers workers;
    workers.SetPassObserver(RecordPass, &log);
    workers.StartWorkers(2);
    EXPECT_EQ(workers.m_workerCount, 2u);
    EXPECT_EQ(OccupiedSlots(workers), 2u);
    ASSERT_TRUE(log.WaitForPasses(2));

    workers.StartWorkers(0);
    EXPECT_EQ(workers.m_workerCount, 0u);
    EXPECT_EQ(OccupiedSlots(workers), 0u);
    workers.WaitForStoppedWorkers();
    // Every thread that ran a pass has ended: its id takes no more messages.
    for (const PassLog::Entry& entry : log.Snapshot())
        EXPECT_EQ(PostThreadMessage(entry.threadId, 0x401, 0, 0), FALSE) << entry.threadId;
}

TEST(LoadWorkersTest, RestartingWithTheSameCountReplacesTheWorkers) {
    PassLog log;
    LoadWorkers workers;
    workers.SetPassObserver(RecordPass, &log);
    workers.StartWorkers(1);
    ASSERT_NE(workers.m_workers[0], nullptr);
    const DWORD firstId = workers.m_workers[0]->m_nThreadID;
    ASSERT_TRUE(log.WaitForPasses(1));

    workers.StartWorkers(1);
    EXPECT_EQ(workers.m_workerCount, 1u);
    EXPECT_EQ(OccupiedSlots(workers), 1u);
    ASSERT_NE(workers.m_workers[0], nullptr);
    const DWORD secondId = workers.m_workers[0]->m_nThreadID;
    EXPECT_NE(secondId, firstId);
    workers.WaitForStoppedWorkers();
    EXPECT_EQ(PostThreadMessage(firstId, 0x401, 0, 0), FALSE) << "the first worker has ended";
    // The new worker runs passes of its own.
    bool secondRan = false;
    for (int attempt = 0; attempt < 60000 && !secondRan; ++attempt) {
        for (const PassLog::Entry& entry : log.Snapshot()) secondRan = secondRan || entry.threadId == secondId;
        if (!secondRan) Sleep(1);
    }
    EXPECT_TRUE(secondRan);
    workers.StopWorkers();
}

TEST(LoadWorkersTest, QuitPostedDuringAPassEndsTheWorkerAtThePassEnd) {
    for (AFX_THREADPROC kernel : {SseKernelProc, X87KernelProc}) {
        PassLog log;
        log.action = [](LoadWorkers&, int pass) {
            if (pass == 0) QuitOwnThread();
        };
        LoadWorkers workers;
        workers.SetPassObserver(RecordPass, &log);
        EXPECT_TRUE(RunToEnd(BeginOwned(kernel, &workers)));
        EXPECT_EQ(log.passes.load(), 1);
    }
}

TEST(LoadWorkersTest, QuitPostedBeforeTheFirstQueueCheckStillEndsTheWorker) {
    for (AFX_THREADPROC kernel : {WorkerThreadProc, SseKernelProc, X87KernelProc}) {
        PassLog log;
        LoadWorkers workers;
        workers.SetPassObserver(RecordPass, &log);
        CWinThread* worker = BeginOwnedSuspended(kernel, &workers);
        ASSERT_NE(worker, nullptr);
        EXPECT_EQ(PostThreadMessage(worker->m_nThreadID, WM_QUIT, 0, 0), TRUE);
        ResumeThread(worker->m_hThread);
        EXPECT_TRUE(RunToEnd(worker));
        EXPECT_EQ(log.passes.load(), 0);
    }
}

TEST(LoadWorkersTest, OtherMessagesDoNotEndTheSseWorker) {
    PassLog log;
    log.action = [](LoadWorkers&, int pass) {
        if (pass == 0) PostThreadMessage(GetCurrentThreadId(), 0x401, 0, 0);
        if (pass == 1) QuitOwnThread();
    };
    LoadWorkers workers;
    workers.SetPassObserver(RecordPass, &log);
    EXPECT_TRUE(RunToEnd(BeginOwned(SseKernelProc, &workers)));
    EXPECT_EQ(log.passes.load(), 2);
}

TEST(LoadWorkersTest, SseWorkerReadsThePriorityPairAtEveryPass) {
    PassLog log;
    log.action = [](LoadWorkers& workers, int pass) {
        if (pass == 0) workers.SetPriorityPair(NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL);
        if (pass == 1) workers.SetPriorityPair(IDLE_PRIORITY_CLASS, THREAD_PRIORITY_IDLE);
        if (pass == 2) QuitOwnThread();
    };
    LoadWorkers workers;
    workers.SetPriorityPair(BELOW_NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_LOWEST);
    workers.SetPassObserver(RecordPass, &log);
    ASSERT_TRUE(RunToEnd(BeginOwned(SseKernelProc, &workers)));
    const std::vector<PassLog::Entry> entries = log.Snapshot();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].priorityClass, BELOW_NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(entries[0].threadPriority, THREAD_PRIORITY_LOWEST);
    EXPECT_EQ(entries[1].priorityClass, NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(entries[1].threadPriority, THREAD_PRIORITY_ABOVE_NORMAL);
    EXPECT_EQ(entries[2].priorityClass, IDLE_PRIORITY_CLASS);
    EXPECT_EQ(entries[2].threadPriority, THREAD_PRIORITY_IDLE);
    // Each pass ends by dropping the class back to Normal.
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), NORMAL_PRIORITY_CLASS);
    // Between passes the x87 stack is empty.
    for (const PassLog::Entry& entry : entries) EXPECT_EQ(entry.x87Tags, 0xFFFF);
}

TEST(LoadWorkersTest, X87WorkerRunsEveryPassAtTheHighestPairWhateverIsSelected) {
    PassLog log;
    log.action = [](LoadWorkers&, int pass) {
        if (pass == 2) QuitOwnThread();
    };
    LoadWorkers workers;
    workers.SetPriorityPair(IDLE_PRIORITY_CLASS, THREAD_PRIORITY_IDLE);
    workers.SetPassObserver(RecordPass, &log);
    const DWORD classBefore = GetPriorityClass(GetCurrentProcess());
    ASSERT_TRUE(RunToEnd(BeginOwned(X87KernelProc, &workers)));
    const std::vector<PassLog::Entry> entries = log.Snapshot();
    ASSERT_EQ(entries.size(), 3u);
    for (const PassLog::Entry& entry : entries) {
        EXPECT_EQ(entry.priorityClass, REALTIME_PRIORITY_CLASS);
        EXPECT_EQ(entry.threadPriority, THREAD_PRIORITY_TIME_CRITICAL);
        EXPECT_EQ(entry.x87Tags, 0xFFFF);
    }
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), classBefore) << "the class saved at set-up comes back";
}

TEST(LoadWorkersTest, SuspendedWorkersMakeNoProgress) {
    PassLog log;
    LoadWorkers workers;
    workers.SetPassObserver(RecordPass, &log);
    workers.StartWorkers(1);
    ASSERT_NE(workers.m_workers[0], nullptr);
    const HANDLE worker = workers.m_workers[0]->m_hThread;
    ASSERT_TRUE(log.WaitForPasses(1));

    workers.SuspendWorkers();
    const int passesAtSuspend = log.passes.load();
    const unsigned long long cpuAtSuspend = CpuNanoseconds(worker);
    Sleep(150);
    EXPECT_LT(CpuNanoseconds(worker) - cpuAtSuspend, 5000000ull) << "under 5 ms of processor time in 150 ms";
    EXPECT_EQ(log.passes.load(), passesAtSuspend);

    workers.ResumeWorkers();
    bool progressed = false;
    for (int attempt = 0; attempt < 10000 && !progressed; ++attempt) {
        progressed = CpuNanoseconds(worker) - cpuAtSuspend > 20000000ull;
        if (!progressed) Sleep(1);
    }
    EXPECT_TRUE(progressed);
    ASSERT_TRUE(log.WaitForPasses(passesAtSuspend + 1)) << "the resumed worker goes on with its passes";
    workers.StopWorkers();
}

TEST(LoadWorkersTest, StopWorkersSkipsGapsAndWaitsAFifthOfASecondPerWorker) {
    StuckWorkers stuck;
    LoadWorkers workers;
    const unsigned occupiedSlots[] = {1, 4, 9};
    for (const unsigned slot : occupiedSlots) workers.m_workers[slot] = BeginOwned(StuckProc, &stuck);
    const auto start = std::chrono::steady_clock::now();
    workers.StopWorkers();
    const double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 3 * 0.2 - 0.01) << "each worker gets its 200 ms";
    EXPECT_LE(elapsed, 3 * 0.2 + 0.5);
    EXPECT_EQ(OccupiedSlots(workers), 0u);
    stuck.Release();
    workers.WaitForStoppedWorkers();
    EXPECT_EQ(stuck.quitsSeen.load(), 3) << "every occupied slot got its quit";
}

TEST(LoadWorkersTest, StoppingMoreThanSixteenWorkersStaysWithinTheBoundForSixteen) {
    StuckWorkers stuck;
    LoadWorkers workers;
    workers.m_workers.assign(24, nullptr);  // the table of a 24-processor machine
    for (CWinThread*& slot : workers.m_workers) slot = BeginOwned(StuckProc, &stuck);
    const auto start = std::chrono::steady_clock::now();
    workers.StopWorkers();
    const double elapsed = SecondsSince(start);
    EXPECT_LE(elapsed, 3.2 + 0.5);
    EXPECT_EQ(OccupiedSlots(workers), 0u);
    stuck.Release();
    workers.WaitForStoppedWorkers();
    EXPECT_EQ(stuck.quitsSeen.load(), 24) << "every worker got its quit, also past the bound";
}
