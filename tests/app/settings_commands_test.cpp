// The user's settings: start-up state, thread-count and priority commands, their check marks in
// the menus, the greyed items and the home page.
#include <chrono>
#include <thread>

#include "app/command_ids.h"
#include "app/home_page.h"
#include "app_fixture.h"
#include "platform/thread.h"
#include "url_catcher.h"

namespace {
constexpr unsigned kThreadIds[] = {kCmdAutomaticThreads, kCmdOneThread,    kCmdTwoThreads,
                                   kCmdFourThreads,      kCmdEightThreads, kCmdSixteenThreads};
constexpr unsigned kPriorityIds[] = {kCmdLowPriority, kCmdNormalPriority, kCmdHighPriority,
                                     kCmdRealtimePriority};

// The item's state as the menus show it when they open (routed from the frame).
CCmdUI ItemState(CFrameWnd& frame, unsigned id) {
    CCmdUI item(id);
    item.DoUpdate(frame);
    return item;
}

std::uint64_t UserTime(CWinThread* worker) {
    FILETIME user{};
    GetThreadTimes(worker->m_hThread, nullptr, nullptr, nullptr, &user);
    return (static_cast<std::uint64_t>(user.dwHighDateTime) << 32) | user.dwLowDateTime;
}
}  // namespace

using SettingsCommands = RunningApp;

TEST_F(SettingsCommands, StartsWithAutomaticAndNormalAndOneWorkerPerProcessor) {
    unsigned processors = app->m_systemInfo.dwNumberOfProcessors;
    ASSERT_GE(processors, 1u);
    EXPECT_EQ(app->m_threadCommand, kCmdAutomaticThreads);
    EXPECT_EQ(app->m_priorityCommand, kCmdNormalPriority);
    EXPECT_EQ(app->m_workerCount, processors);
    EXPECT_EQ(LiveWorkerCount(*app), std::min<unsigned>(processors, app->WorkerSlotCount()));
    EXPECT_EQ(app->m_priorityClass, NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(app->m_threadPriority, THREAD_PRIORITY_NORMAL);

    for (unsigned id : kThreadIds) {
        EXPECT_EQ(ItemState(Frame(), id).IsChecked(), id == kCmdAutomaticThreads) << id;
    }
    for (unsigned id : kPriorityIds) {
        EXPECT_EQ(ItemState(Frame(), id).IsChecked(), id == kCmdNormalPriority) << id;
    }
}

TEST_F(SettingsCommands, EveryThreadCommandStartsItsCountAndMovesTheCheckMark) {
    unsigned processors = app->m_systemInfo.dwNumberOfProcessors;
    const struct {
        unsigned id;
        unsigned count;
    } cases[] = {
        {kCmdOneThread, 1},   {kCmdTwoThreads, 2},   {kCmdFourThreads, 4},
        {kCmdEightThreads, 8}, {kCmdSixteenThreads, 16}, {kCmdAutomaticThreads, processors},
    };
    for (const auto& c : cases) {
        Frame().SendCommand(c.id);
        EXPECT_EQ(app->m_threadCommand, c.id);
        EXPECT_EQ(app->m_workerCount, c.count) << c.id;
        EXPECT_EQ(LiveWorkerCount(*app), c.count) << c.id;
        int checked = 0;
        for (unsigned id : kThreadIds) {
            checked += ItemState(Frame(), id).IsChecked() ? 1 : 0;
        }
        EXPECT_EQ(checked, 1);
        EXPECT_TRUE(ItemState(Frame(), c.id).IsChecked()) << c.id;
        // A thread command leaves the priority alone.
        EXPECT_EQ(app->m_priorityCommand, kCmdNormalPriority);
    }
    EXPECT_EQ(ThreadCountForCommand(kCmdShow, app->m_systemInfo), 0u);
    EXPECT_EQ(ThreadCountForCommand(0, app->m_systemInfo), 0u);
}

TEST_F(SettingsCommands, ChoosingTheCheckedThreadCountRestartsTheWorkers) {
    UseOneWorker();
    DWORD before = app->m_workers[0]->m_nThreadID;
    Frame().SendCommand(kCmdOneThread);
    ASSERT_EQ(LiveWorkerCount(*app), 1u);
    EXPECT_NE(app->m_workers[0]->m_nThreadID, before);
}

TEST_F(SettingsCommands, PriorityCommandsStoreTheirPairWithoutRestartingWorkers) {
    UseOneWorker();
    DWORD worker = app->m_workers[0]->m_nThreadID;
    const struct {
        unsigned id;
        DWORD priorityClass;
        int threadPriority;
    } cases[] = {
        {kCmdLowPriority, IDLE_PRIORITY_CLASS, THREAD_PRIORITY_IDLE},
        {kCmdHighPriority, HIGH_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL},
        {kCmdRealtimePriority, REALTIME_PRIORITY_CLASS, THREAD_PRIORITY_TIME_CRITICAL},
        {kCmdNormalPriority, NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL},
    };
    for (const auto& c : cases) {
        Frame().SendCommand(c.id);
        EXPECT_EQ(app->m_priorityCommand, c.id);
        EXPECT_EQ(app->m_priorityClass, c.priorityClass) << c.id;
        EXPECT_EQ(app->m_threadPriority, c.threadPriority) << c.id;
        for (unsigned id : kPriorityIds) {
            EXPECT_EQ(ItemState(Frame(), id).IsChecked(), id == c.id) << c.id << " " << id;
        }
        EXPECT_EQ(app->m_threadCommand, kCmdOneThread);
        ASSERT_NE(app->m_workers[0], nullptr);
        EXPECT_EQ(app->m_workers[0]->m_nThreadID, worker);
    }
    // An id outside the table keeps the Normal pair.
    app->m_priorityCommand = kCmdHomePage;
    app->ApplyPriorityCommand();
    EXPECT_EQ(app->m_priorityClass, NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(app->m_threadPriority, THREAD_PRIORITY_NORMAL);
}

TEST_F(SettingsCommands, ItemsWithoutHandlersAreGreyAndOthersUsable) {
    for (unsigned id : {kCmdAbout, kCmdSharingDatabase, kCmdSharingSettings}) {
        CCmdUI item = ItemState(Frame(), id);
        EXPECT_FALSE(item.IsEnabled()) << id;
        EXPECT_FALSE(item.IsChecked()) << id;
    }
    for (unsigned id : {kCmdHomePage, kCmdMinimize, kCmdShow, kCmdExit, kCmdAnimated,
                        kCmdSixteenThreads, kCmdLowPriority}) {
        EXPECT_TRUE(ItemState(Frame(), id).IsEnabled()) << id;
    }
    // The home page item never carries a check mark.
    CCmdUI home = ItemState(Frame(), kCmdHomePage);
    EXPECT_FALSE(home.CheckWasSet());
    EXPECT_FALSE(home.IsChecked());
}

TEST_F(SettingsCommands, HomePageOpensWithEveryWorkerHeldStill) {
    UseOneWorker();
    Frame().SendCommand(kCmdTwoThreads);
    ASSERT_EQ(LiveWorkerCount(*app), 2u);
    // Let the workers get going, so that a stopped worker differs from a waiting one.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    // Processor time in 100 ns units; a running worker gathers about 1,500,000 in 150 ms, a
    // stopped one only what taking the stop signal costs.
    constexpr std::uint64_t kStoppedAllowance = 10000;
    std::uint64_t usedWhileOpening = ~std::uint64_t{0};
    UrlCatcher catcher([&](const QUrl&) {
        std::uint64_t first = UserTime(app->m_workers[0]) + UserTime(app->m_workers[1]);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        std::uint64_t second = UserTime(app->m_workers[0]) + UserTime(app->m_workers[1]);
        usedWhileOpening = second - first;
    });
    Frame().SendCommand(kCmdHomePage);
    ASSERT_EQ(catcher.opened.size(), 1u);
    EXPECT_EQ(catcher.opened[0].toString().toStdString(), kHomePageAddress);
    EXPECT_LT(usedWhileOpening, kStoppedAllowance);

    // And they go on afterwards.
    std::uint64_t after = UserTime(app->m_workers[0]) + UserTime(app->m_workers[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_GT(UserTime(app->m_workers[0]) + UserTime(app->m_workers[1]), after + kStoppedAllowance);
}

TEST_F(SettingsCommands, ExitClosesTheMainWindowAndEndsTheLoop) {
    UseOneWorker();
    Frame().SendCommand(kCmdExit);
    EXPECT_EQ(app->m_frame, nullptr);
    EXPECT_EQ(app->m_pMainWnd, nullptr);
    EXPECT_EQ(app->ExitInstance(), 0);
    EXPECT_EQ(LiveWorkerCount(*app), 0u);
}
