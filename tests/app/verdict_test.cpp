// What the user sees of the run's verdict: an injected fault reaches the title, the tray (tip, red
// icon, one notification), the Results window and the log, and the exit status; the start-up
// options and the new settings show in the menus.
#include <QApplication>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "app/command_ids.h"
#include "app/home_page.h"
#include "app_fixture.h"
#include "load/placement.h"
#include "platform/processors.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "platform/termination_signals.h"
#include "run/run_log.h"

namespace {
CCmdUI ItemState(CFrameWnd& frame, unsigned id) {
    CCmdUI item(id);
    item.DoUpdate(frame);
    return item;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A running app whose start-up the test prepares first.
class PreparedApp : public RunningApp {
protected:
    void SetUp() override {}
    void Start() {
        TestClock::now = 1000.0L;
        app = std::make_unique<CFerroxApp>();
        app->m_frameClock = TestClock::Make();
        app->m_startOptions = options;
        ASSERT_NE(app->InitInstance(), 0);
    }
    void TearDown() override {
        unsetenv("FERROX_INJECT_FAULT");
        if (app != nullptr) RunningApp::TearDown();
    }
    StartOptions options;
};
}  // namespace

TEST_F(PreparedApp, AnInjectedFaultReachesTitleTrayResultsLogAndExitStatus) {
    const int faulty = SpreadOrder(AllowedProcessors())[0];
    setenv("FERROX_INJECT_FAULT", ("cpu=" + std::to_string(faulty) + ",after=1").c_str(), 1);
    options.run.threads = 1;
    Start();
    const std::string base = "Ferrox 00:00:00 at 2100.0 MHz";
    Frame().OnTimer(kRefreshTimerId);
    EXPECT_EQ(Frame().GetWindowText(), base) << "no error yet: the title keeps its format";
    EXPECT_EQ(NotifyIconImage(&Frame(), 0), LoadIcon(kMainResourceId));

    for (int tick = 0; tick < 200 && Frame().GetWindowText() == base; ++tick) {
        ProcessEvents(20);
        Frame().OnTimer(kRefreshTimerId);
    }
    EXPECT_EQ(Frame().GetWindowText(), base + " - 1 error");
    const std::string processorText = "Errors on processor " + std::to_string(faulty) + ".";
    EXPECT_EQ(NotifyIconTip(&Frame(), 0), processorText) << "the tip names the processor (no run time yet)";
    EXPECT_EQ(NotifyIconImage(&Frame(), 0), LoadIcon(kErrorIconId)) << "the tray icon turned red";
    const std::string balloon = NotifyIconLastBalloon(&Frame(), 0);
    EXPECT_NE(balloon.find("Processor " + std::to_string(faulty) + " computed a wrong result (x87 chain)"),
              std::string::npos)
        << balloon;
    TestClock::now += 5.0L;
    Frame().OnTimer(kRefreshTimerId);
    EXPECT_EQ(NotifyIconTip(&Frame(), 0), "Ferrox 5 seconds. " + processorText);
    EXPECT_EQ(NotifyIconLastBalloon(&Frame(), 0), balloon) << "one notification only";

    Frame().SendCommand(kCmdResults);
    ASSERT_TRUE(Frame().ResultsWindow().IsShown());
    const TableContent results = Frame().ResultsWindow().Shown();
    EXPECT_EQ(results.heading.rfind("FAILED: 1 error. " + processorText, 0), 0u) << results.heading;
    ASSERT_FALSE(results.rows.empty());
    const std::vector<std::string>& row = results.rows[0];
    ASSERT_EQ(results.columns[6], "Errors");
    EXPECT_EQ(row[0], std::to_string(faulty));
    EXPECT_EQ(row[6], "1");
    EXPECT_NE(row[7], "-") << "the first error's time";
    EXPECT_TRUE(results.alarmRows[0]);

    Frame().DestroyWindow();
    EXPECT_EQ(app->ExitInstance(), 2) << "errors were found";
    const std::string log = ReadAll(RunLog::DefaultPath());
    EXPECT_NE(log.find("on processor " + std::to_string(faulty)), std::string::npos) << log;
    EXPECT_NE(log.find("FAILED"), std::string::npos);
}

TEST_F(PreparedApp, StartOptionsShowInTheMenus) {
    options.run.cycleSeconds = 10;
    options.run.priority = PriorityChoice::Low;
    options.run.pin = false;
    options.run.stopOnError = true;
    options.animated = false;
    Start();
    EXPECT_EQ(app->m_workerCount, 1u) << "one worker cycles";
    const struct {
        unsigned id;
        bool checked;
    } items[] = {
        {kCmdCycleProcessors, true}, {kCmdCycle10Seconds, true}, {kCmdCycle1Minute, false},
        {kCmdAutomaticThreads, false}, {kCmdLowPriority, true}, {kCmdNormalPriority, false},
        {kCmdPinWorkers, true},  // cycling always pins
        {kCmdStopOnError, true}, {kCmdAnimated, false}, {kCmdLoadWidest, true}, {kCmdLoadBuiltin, false},
    };
    for (const auto& item : items) EXPECT_EQ(ItemState(Frame(), item.id).IsChecked(), item.checked) << item.id;

    // A thread count leaves cycling; cycling replaces the thread count.
    Frame().SendCommand(kCmdTwoThreads);
    EXPECT_FALSE(ItemState(Frame(), kCmdCycleProcessors).IsChecked());
    EXPECT_TRUE(ItemState(Frame(), kCmdTwoThreads).IsChecked());
    EXPECT_FALSE(ItemState(Frame(), kCmdPinWorkers).IsChecked()) << "the start-up choice again";
    EXPECT_EQ(LiveWorkerCount(*app), 2u);
    Frame().SendCommand(kCmdCycle5Minutes);
    EXPECT_TRUE(ItemState(Frame(), kCmdTwoThreads).IsChecked()) << "a period alone does not start cycling";
    Frame().SendCommand(kCmdCycleProcessors);
    EXPECT_TRUE(ItemState(Frame(), kCmdCycleProcessors).IsChecked());
    EXPECT_FALSE(ItemState(Frame(), kCmdTwoThreads).IsChecked());
    EXPECT_EQ(app->Settings().cycleSeconds, 300u);
    EXPECT_EQ(LiveWorkerCount(*app), 1u);
}

TEST_F(PreparedApp, LoadItemsGreyWhatThisProcessorCannotRunAndAChangeRestartsTheWorkers) {
    options.run.threads = 1;
    Start();
    const ProcessorTraits traits = app->GetProcessorTraits();
    const struct {
        unsigned id;
        bool runs;
    } items[] = {
        {kCmdLoadBuiltin, true}, {kCmdLoadAvx2, traits.avx2Fma}, {kCmdLoadAvx512, traits.avx512}, {kCmdLoadWidest, true},
    };
    for (const auto& item : items) {
        const CCmdUI state = ItemState(Frame(), item.id);
        EXPECT_EQ(state.IsEnabled(), item.runs) << item.id;
        EXPECT_EQ(state.ToolTip().empty(), item.runs) << item.id;
    }
    // A processor without them gets all but the built-in load greyed.
    app->SetProcessorTraits(ProcessorTraits{traits.vendor, true, false, false});
    EXPECT_FALSE(ItemState(Frame(), kCmdLoadAvx2).IsEnabled());
    Frame().SendCommand(kCmdLoadAvx2);
    EXPECT_EQ(app->Settings().load, LoadChoice::Widest) << "a grey item's command does nothing";
    app->SetProcessorTraits(traits);

    if (!traits.avx2Fma) GTEST_SKIP() << "this processor cannot run the AVX2/FMA load";
    const DWORD before = app->m_workers[0]->m_nThreadID;
    Frame().SendCommand(kCmdLoadAvx2);
    ASSERT_NE(app->m_workers[0], nullptr);
    EXPECT_NE(app->m_workers[0]->m_nThreadID, before) << "restarted";
    EXPECT_TRUE(ItemState(Frame(), kCmdLoadAvx2).IsChecked());
    WorkerContext* worker = app->Context(0);
    for (int wait = 0; wait < 500 && worker->report.kernel.load() < 0; ++wait) ProcessEvents(10);
    EXPECT_EQ(worker->report.kernel.load(), static_cast<int>(LoadKernelKind::Fma));
}

// The Load menu's Cache and Memory items start those loads; the Memory Size items size the buffer
// (on a machine made to show 1 GiB available, so the test's buffer stays small) and restart it.
MemoryStatus OneGibibyteAvailable() { return MemoryStatus{true, 8ull << 30, 1ull << 30}; }

TEST_F(PreparedApp, CacheAndMemoryItemsStartThoseLoadsAndMemorySizeItemsSizeTheBuffer) {
    options.run.threads = 1;
    Start();
    app->SetMemoryStatusSource(OneGibibyteAvailable);
    EXPECT_TRUE(ItemState(Frame(), kCmdMemory70Percent).IsChecked()) << "the default share";
    Frame().SendCommand(kCmdMemory10Percent);
    EXPECT_TRUE(ItemState(Frame(), kCmdMemory10Percent).IsChecked());
    EXPECT_FALSE(ItemState(Frame(), kCmdMemory70Percent).IsChecked());
    EXPECT_EQ(app->Memtest().Arena(), nullptr) << "no buffer before the memory load is chosen";
    for (const auto& [id, kind] : {std::pair{kCmdLoadCache, LoadKernelKind::Cache}, std::pair{kCmdLoadMemory, LoadKernelKind::Memory}}) {
        EXPECT_TRUE(ItemState(Frame(), id).IsEnabled()) << id;
        Frame().SendCommand(id);
        EXPECT_TRUE(ItemState(Frame(), id).IsChecked()) << id;
        WorkerContext* worker = app->Context(0);
        ASSERT_NE(worker, nullptr);
        for (int wait = 0; wait < 500 && worker->report.passes.load() < 2; ++wait) ProcessEvents(10);
        EXPECT_EQ(worker->report.kernel.load(), static_cast<int>(kind)) << id;
        EXPECT_GE(worker->report.passes.load(), 2u) << id;
    }
    ASSERT_NE(app->Memtest().Arena(), nullptr);
    EXPECT_EQ(app->Memtest().Arena()->Bytes(), (1ull << 30) / 10 / kBlockBytes * kBlockBytes);
    Frame().SendCommand(kCmdMemory25Percent);
    EXPECT_EQ(app->Memtest().Arena()->Bytes(), (1ull << 30) / 4) << "a new size restarts the memory load";
    EXPECT_EQ(app->Summary().verdict, Verdict::Passed);
}

TEST_F(PreparedApp, HomePageWithoutABrowserSaysWhereItIs) {
    options.run.threads = 1;
    Start();
    std::string shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text().toStdString();
            box->accept();
        }
    });
    closer.start(20);
    Frame().SendCommand(kCmdHomePage);  // the offscreen platform has no browser
    EXPECT_NE(shown.find(kHomePageAddress), std::string::npos) << shown;
}

// A quit posted while the loop runs ends it; SIGTERM ends Ferrox as Exit does.
TEST_F(PreparedApp, TheLoopEndsOnAPostedQuitAndOnATerminationSignal) {
    options.run.threads = 1;
    Start();
    QTimer::singleShot(50, [] { AfxPostQuitMessage(0); });
    app->Run();
    EXPECT_NE(app->m_frame, nullptr) << "the quit alone closes no window";

    CatchTerminationSignals();
    QTimer::singleShot(50, [] { std::raise(SIGTERM); });
    app->Run();
    EXPECT_EQ(app->m_frame, nullptr) << "the signal closed the window";
    // Without a duration a signal is the user's way to stop: the verdict of a complete run.
    LoadKernelKind kernel = LoadKernelKind::X87;
    ASSERT_TRUE(app->ChosenKernel(&kernel));
    const bool classic = kernel == LoadKernelKind::Sse || kernel == LoadKernelKind::X87;
    EXPECT_EQ(app->ExitInstance(), classic ? 7 : 0);
}

// --minimized asks for the tray: without a tray host (the offscreen platform has none) the window
// starts minimised to the task bar, where the user can find it, and says so on stderr.
TEST_F(PreparedApp, MinimizedWithoutATrayStartsOnTheTaskBarAndSaysSo) {
    options.run.threads = 1;
    options.minimized = true;
    testing::internal::CaptureStderr();
    Start();
    const std::string said = testing::internal::GetCapturedStderr();
    if (NotifyIconExists(&Frame(), 0) && QSystemTrayIcon::isSystemTrayAvailable()) GTEST_SKIP() << "a tray host runs here";
    EXPECT_TRUE(Frame().IsWindowVisible()) << "a hidden window without a tray could never come back";
    EXPECT_TRUE(Frame().IsIconic());
    EXPECT_NE(said.find("no tray to start in"), std::string::npos) << said;
}

// Setting changes during a run are logged with their time, and the summary keeps how long each
// load ran at each priority.
TEST_F(PreparedApp, SettingChangesAreLoggedAndEachLoadKeepsItsTime) {
    options.run.threads = 1;
    Start();
    for (int tick = 0; tick < 20; ++tick) ProcessEvents(10);
    Frame().SendCommand(kCmdLoadBuiltin);
    for (int tick = 0; tick < 20; ++tick) ProcessEvents(10);
    Frame().SendCommand(kCmdLowPriority);
    for (int tick = 0; tick < 20; ++tick) ProcessEvents(10);
    const RunSummary summary = app->Summary();
    ASSERT_EQ(summary.loadSpells.size(), 3u) << "the widest at normal, the classic mix at normal, then at low";
    EXPECT_EQ(summary.loadSpells[1].priority, PriorityChoice::Normal);
    EXPECT_EQ(summary.loadSpells[2].priority, PriorityChoice::Low);
    EXPECT_EQ(summary.loadSpells[2].kernel, summary.loadSpells[1].kernel);
    double total = 0;
    for (const LoadSpell& spell : summary.loadSpells) {
        EXPECT_GT(spell.seconds, 0.1) << spell.kernel;
        total += spell.seconds;
    }
    EXPECT_NEAR(total, summary.elapsedSeconds, 0.01);
    const std::string log = ReadAll(RunLog::DefaultPath());
    EXPECT_NE(log.find(": load widest -> builtin"), std::string::npos) << log;
    EXPECT_NE(log.find(": priority normal -> low"), std::string::npos) << log;
    EXPECT_FALSE(summary.selfChecked) << "a classic mix ran";
}

// A processor sensor past the temperature limit stops a window run: the load stops, the window
// stays with STOPPED in its title, the Results say why, and the exit status is 5.
TEST_F(PreparedApp, ATemperaturePastTheLimitStopsTheRunAndTheWindowStays) {
    const std::string tree = testing::TempDir() + "ferrox-hot-tree";
    std::filesystem::remove_all(tree);
    const std::string chip = tree + "/sys/class/hwmon/hwmon0";
    std::filesystem::create_directories(chip);
    std::ofstream(chip + "/name") << "coretemp\n";
    std::ofstream(chip + "/temp1_label") << "Package id 0\n";
    std::ofstream(chip + "/temp1_input") << "97000\n";
    std::ofstream(chip + "/temp1_crit") << "100000\n";
    setenv("FERROX_SYSFS_ROOT", tree.c_str(), 1);
    options.run.threads = 1;
    Start();
    unsetenv("FERROX_SYSFS_ROOT");
    EXPECT_TRUE(ItemState(Frame(), kCmdLimitFromSensors).IsChecked());
    for (int tick = 0; tick < 300 && !app->Ended(); ++tick) {
        ProcessEvents(10);
        Frame().OnTimer(kRefreshTimerId);
    }
    ASSERT_TRUE(app->Ended()) << "the run went on past its temperature limit";
    Frame().OnTimer(kRefreshTimerId);
    EXPECT_NE(Frame().GetWindowText().find(" - STOPPED"), std::string::npos) << Frame().GetWindowText();
    EXPECT_TRUE(Frame().IsWindow()) << "the window stays";
    ASSERT_TRUE(Frame().ResultsWindow().IsShown());
    const std::string heading = Frame().ResultsWindow().Shown().heading;
    EXPECT_NE(heading.find("STOPPED (temperature limit 95.0 \u00b0C reached: Package id 0 at 97.0 \u00b0C"), std::string::npos)
        << heading;
    EXPECT_EQ(LiveWorkerCount(*app), 0u);
    Frame().DestroyWindow();
    EXPECT_EQ(app->ExitInstance(), 5);
    std::filesystem::remove_all(tree);
}

// The Temperature Limit items set the run's limit and check the one in force.
TEST_F(PreparedApp, TheTemperatureLimitMenuSetsTheLimit) {
    options.run.threads = 1;
    options.run.maxCelsius = 90.0;
    Start();
    EXPECT_TRUE(ItemState(Frame(), kCmdLimit90).IsChecked());
    EXPECT_EQ(app->TemperatureLimit(), 90.0);
    Frame().SendCommand(kCmdLimitNone);
    EXPECT_TRUE(ItemState(Frame(), kCmdLimitNone).IsChecked());
    EXPECT_FALSE(ItemState(Frame(), kCmdLimit90).IsChecked());
    EXPECT_FALSE(std::isfinite(app->TemperatureLimit()));
    Frame().SendCommand(kCmdLimit85);
    EXPECT_EQ(app->TemperatureLimit(), 85.0);
    EXPECT_NE(ReadAll(RunLog::DefaultPath()).find("temperature limit 85.0"), std::string::npos);
}

// Run Plan starts a built-in plan in the running window: the run gets the plan's end, the items
// show which plan runs and offer no second one, and the Results name the phases.
TEST_F(PreparedApp, RunPlanStartsABuiltinPlanInTheWindow) {
    options.run.threads = 1;
    Start();
    EXPECT_TRUE(ItemState(Frame(), kCmdPlanQuick).IsEnabled());
    Frame().SendCommand(kCmdPlanQuick);
    ASSERT_NE(app->Plan(), nullptr);
    EXPECT_EQ(app->Plan()->Plan().name, "quick");
    EXPECT_TRUE(ItemState(Frame(), kCmdPlanQuick).IsChecked());
    EXPECT_FALSE(ItemState(Frame(), kCmdPlanStandard).IsEnabled()) << "one plan at a time";
    EXPECT_NEAR(app->Settings().durationSeconds, app->ElapsedSeconds() + app->Plan()->Plan().TotalSeconds(), 1.0);
    for (int tick = 0; tick < 10; ++tick) {
        ProcessEvents(10);
        Frame().OnTimer(kRefreshTimerId);
    }
    Frame().SendCommand(kCmdResults);
    const std::string heading = Frame().ResultsWindow().Shown().heading;
    EXPECT_NE(heading.find("plan quick: "), std::string::npos) << heading;
    EXPECT_NE(heading.find("each processor alone not run"), std::string::npos) << heading;
    Frame().DestroyWindow();
    EXPECT_EQ(app->ExitInstance(), 4) << "closed long before the plan's end: incomplete";
}
