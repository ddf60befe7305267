// A whole run in a few seconds: an injected fault attributed through the error list, the summary
// and the log; core cycling visiting every processor; the texts the views show.

#include "run/stress_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "load/placement.h"
#include "platform/clock.h"
#include "platform/processors.h"
#include "run/core_cycler.h"
#include "monitor/throttle_episodes.h"
#include "run/run_text.h"
#include "test_environment.h"

namespace {


std::string NewTemporaryDirectory() {
    std::random_device random;
    for (;;) {
        const std::filesystem::path path = std::filesystem::temp_directory_path() / ("ferrox-run-" + std::to_string(random()));
        if (std::filesystem::create_directory(path)) return path.string();
    }
}

// The smallest step the calling thread's processor time is seen to take (at most half a second of
// spinning); the core clock probe needs it far below its own length.
LONGLONG ThreadClockStepNanoseconds() {
    LONGLONG first = 0, now = 0;
    QueryCurrentThreadCpuTime(&first);
    for (int spin = 0; spin < 50000000; ++spin) {
        QueryCurrentThreadCpuTime(&now);
        if (now != first) return now - first;
    }
    return 500000000;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

template <typename Done>
bool PollUntil(StressRun& run, Done done) {
    for (int attempt = 0; attempt < 2000; ++attempt) {
        run.Poll();
        if (done()) return true;
        Sleep(10);
    }
    return false;
}

// Whether the default load (the widest) is a self-checked kernel on this processor.
bool WideKernelHere(const StressRun& run) {
    LoadKernelKind kind = LoadKernelKind::X87;
    return run.ChosenKernel(&kind) && kind != LoadKernelKind::Sse && kind != LoadKernelKind::X87;
}

}  // namespace

// Core cycling's schedule, step by step: at each time (after refusing a processor, when the step
// names one) the processor the worker is to be on.
TEST(CoreCycler, FollowsItsScheduleThroughRefusalsAndPauses) {
    struct Step {
        double seconds;
        int refused;    // refused at seconds before the question; -1: none
        int processor;  // the answer: -1 when nothing is left
    };
    struct Scenario {
        const char* what;
        std::vector<int> processors;
        double period, start;
        std::vector<Step> steps;
    };
    const Scenario scenarios[] = {
        {"every processor once per round, a refused one skipped from then on",
         {0, 2, 3, 5},
         10.0,
         100.0,
         {{100.5, -1, 0}, {110.5, -1, 2}, {120.5, -1, 3}, {130.5, -1, 5}, {140.5, -1, 0}, {150.5, -1, 2},
          {160.5, -1, 3}, {170.5, -1, 5}, {180.5, 2, 0}, {190.5, -1, 3}, {200.5, -1, 5}, {210.5, -1, 0}}},
        {"a long pause moves on by one, not by the periods missed; nothing left, no processor",
         {0, 2, 3, 5},
         10.0,
         0.0,
         {{0.5, -1, 0}, {10000.0, -1, 2}, {10005.0, -1, 2}, {10010.5, -1, 3}, {10011.0, 0, 3}, {10012.0, 3, 5},
          {10013.0, 5, 2}, {10014.0, 2, -1}}},
        {"the current one refused: the next gets a whole period from the refusal, past the list's end too",
         {1, 4, 6, 9},
         10.0,
         0.0,
         {{0.5, -1, 1}, {8.0, 1, 4}, {12.0, -1, 4}, {17.9, -1, 4}, {18.0, -1, 6}, {28.0, -1, 9}, {30.0, 9, 4},
          {39.9, -1, 4}, {40.0, -1, 6}, {50.0, -1, 4}}},
    };
    for (const Scenario& scenario : scenarios) {
        CoreCycler cycler(scenario.processors, scenario.period, scenario.start);
        for (const Step& step : scenario.steps) {
            if (step.refused >= 0) cycler.Refuse(step.refused, step.seconds);
            EXPECT_EQ(cycler.ProcessorAt(step.seconds), step.processor) << scenario.what << ", at " << step.seconds << " s";
        }
    }
}

TEST(RunText, TitleSuffixTipAndTimes) {
    EXPECT_EQ(ErrorCountSuffix(0), "");
    EXPECT_EQ(ErrorCountSuffix(1), " - 1 error");
    EXPECT_EQ(ErrorCountSuffix(2), " - 2 errors");
    EXPECT_EQ(FailingProcessorsText({}), "");
    EXPECT_EQ(FailingProcessorsText({1}), "Errors on processor 1.");
    EXPECT_EQ(FailingProcessorsText({1, 3, 5}), "Errors on processors 1, 3 and 5.");
    EXPECT_EQ(FormatRunTime(65.9), "00:01:05");
    EXPECT_EQ(FormatRunTime(360000.0), "100:00:00");
    EXPECT_EQ(FormatRunTime(-3.0), "00:00:00");
    EXPECT_EQ(FormatRunTime(0.75, true), "00:00:00.7");
    EXPECT_EQ(FormatRunTime(3661.99, true), "01:01:01.9");
    EXPECT_EQ(FormatDigest(0x1Full), "000000000000001f");
}

TEST(RunText, ThrottleEpisodesNameTheirPackageCoreOrProcessorOnce) {
    const struct {
        std::vector<int> processors;
        const char* text;
    } ranges[] = {{{3}, "3"}, {{3, 35}, "3 and 35"}, {{0, 1, 2, 3}, "0-3"}, {{1, 4, 5, 6, 7, 9}, "1, 4-7 and 9"}, {{}, ""}};
    for (const auto& range : ranges) EXPECT_EQ(ProcessorRangesText(range.processors), range.text);

    ThrottleEpisode package;
    package.reason = ThrottleReason::kPackageThrottleCount;
    package.package = 0;
    for (int processor = 0; processor < 64; ++processor) package.processors.push_back(processor);
    package.startSeconds = 65.0;
    package.endSeconds = 100.0;
    package.counts = 80;
    ThrottleEpisode core = package;
    core.reason = ThrottleReason::kCoreThrottleCount;
    core.core = 3;
    core.processors = {3, 35};
    core.counts = 7;
    ThrottleEpisode lone = core;
    lone.core = -1;
    lone.processors = {5};
    ThrottleEpisode clock;
    clock.reason = ThrottleReason::kClockDrop;
    clock.processors = {2};
    clock.startSeconds = 120.0;
    clock.endSeconds = 150.5;
    clock.lowestHertz = 2.1e9;
    clock.medianHertz = 3.2e9;
    const struct {
        const ThrottleEpisode& episode;
        const char* text;
    } cases[] = {
        {package, "throttling on package 0 from 00:01:05.0 to 00:01:40.0: its package throttle counter rose by 80 (processors 0-63)"},
        {core, "throttling on core 3 of package 0 (processors 3 and 35) from 00:01:05.0 to 00:01:40.0: its core throttle counter rose by 7"},
        {lone, "throttling on PLACE from 00:01:05.0 to 00:01:40.0: its core throttle counter rose by 7"},
        {clock, "throttling on PLACE from 00:02:00.0 to 00:02:30.5: its clock fell to 2100.0 MHz, more than 10% below its "
                "first-minute median 3200.0 MHz"},
    };
    for (const auto& test : cases) EXPECT_EQ(DescribeThrottleEpisode(test.episode, "PLACE"), test.text);
}

class RunWithLog : public ::testing::Test {
protected:
    void SetUp() override {
        directory = NewTemporaryDirectory();
        logPath = directory + "/ferrox.log";
    }
    void TearDown() override {
        UnsetVariable("FERROX_INJECT_FAULT");
        std::filesystem::remove_all(directory);
    }
    std::string directory;
    std::string logPath;
};

TEST_F(RunWithLog, AnInjectedFaultIsAttributedThroughSummaryErrorListAndLog) {
    const std::vector<int> order = SpreadOrder(AllowedProcessors());
    if (order.size() < 2) GTEST_SKIP() << "needs two processors, this process may use " << order.size();
    const int faulty = order[1];
    SetVariable("FERROX_INJECT_FAULT", "cpu=" + std::to_string(faulty) + ",after=2");
    StressRun run{RunLog(logPath)};
    RunSettings settings;
    settings.threads = 2;
    run.BeginRun(settings);
    EXPECT_EQ(run.TakeStartNotes().size(), 1u) << "the injection is announced";
    ASSERT_TRUE(PollUntil(run, [&] { return run.Summary().errors > 0; }));
    run.EndRun("test");

    const RunSummary summary = run.Summary();
    EXPECT_EQ(summary.verdict, Verdict::Failed);
    EXPECT_EQ(summary.errors, 1u);
    EXPECT_EQ(summary.failingProcessors, std::vector<int>{faulty});
    ASSERT_EQ(summary.errorList.size(), 1u);
    EXPECT_EQ(summary.errorList[0].processor, faulty);
    EXPECT_EQ(summary.errorList[0].worker, 1u);
    EXPECT_GT(summary.errorList[0].seconds, 0.0);
    EXPECT_EQ(summary.processors.size(), 2u);
    for (const ProcessorResult& result : summary.processors) {
        EXPECT_GT(result.loadedSeconds, 0.0) << result.processor;
        EXPECT_EQ(result.errors, result.processor == faulty ? 1u : 0u) << result.processor;
        EXPECT_EQ(result.firstErrorSeconds >= 0.0, result.processor == faulty) << result.processor;
    }
    EXPECT_GE(summary.checks, 2u);
    if (const LONGLONG step = ThreadClockStepNanoseconds(); step <= 1000000) {
        EXPECT_GT(summary.coreClock.min, 1e8);
    } else {
        // Wine's thread processor time moves in scheduler ticks: no probe of some 70 us can be timed.
        std::printf("note: no core clock check, the thread processor clock steps by %lld ns\n", static_cast<long long>(step));
    }

    const std::string log = ReadAll(logPath);
    EXPECT_NE(log.find("start: Ferrox"), std::string::npos) << log;
    EXPECT_NE(log.find("error at 00:00:0"), std::string::npos) << log;
    EXPECT_NE(log.find("on processor " + std::to_string(faulty)), std::string::npos) << log;
    EXPECT_NE(log.find("FAILED, "), std::string::npos) << log;
    EXPECT_NE(log.find("Errors on processor " + std::to_string(faulty) + "."), std::string::npos) << log;
}

TEST_F(RunWithLog, MalformedInjectionIsNotedAndIgnored) {
    SetVariable("FERROX_INJECT_FAULT", "cpu=one");
    StressRun run{RunLog(logPath)};
    RunSettings settings;
    settings.threads = 1;
    settings.durationSeconds = 0.6;
    run.BeginRun(settings);
    const std::vector<std::string> notes = run.TakeStartNotes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("ignored"), std::string::npos);
    ASSERT_TRUE(PollUntil(run, [&] { return run.DurationReached(); }));
    run.EndRun("duration");
    EXPECT_EQ(run.Summary().verdict, WideKernelHere(run) ? Verdict::Passed : Verdict::NoErrorsSeen);
    EXPECT_GT(run.Summary().checks, 0u);
    EXPECT_NE(ReadAll(logPath).find("PASSED"), std::string::npos);
}

TEST_F(RunWithLog, CyclingMovesTheOneWorkerOverEveryProcessor) {
    const std::vector<ProcessorPlace>& places = AllowedProcessors();
    if (places.size() < 2) GTEST_SKIP() << "needs two processors";
    StressRun run{RunLog(logPath)};
    RunSettings settings;
    settings.cycleSeconds = 1;
    run.BeginRun(settings);
    ASSERT_TRUE(PollUntil(run, [&] { return run.Summary().processors.size() == places.size(); }))
        << "every processor gets its turn";
    EXPECT_EQ(run.Summary().workers.size(), 1u);
    run.EndRun("test");
    EXPECT_NE(ReadAll(logPath).find("cycling: the worker moves to processor"), std::string::npos);
}

// How a run ends decides its verdict: complete and self-checked is PASSED, the classic mixes say
// NO ERRORS SEEN, a stop before the duration or a run with no worker is INCOMPLETE with its reason.
TEST_F(RunWithLog, EachWayARunEndsGivesItsVerdictAndReason) {
    struct Case {
        const char* what;
        LoadChoice load;
        unsigned threads;
        double duration;  // 0: none
        bool stopEarly;   // end at 0.4 s, before the duration
        Verdict verdict;
        const char* reason;  // the start of verdictReason
    };
    StressRun probe{RunLog(logPath)};
    const bool wide = WideKernelHere(probe);
    const Case cases[] = {
        {"the duration reached", LoadChoice::Widest, 1, 0.6, false, wide ? Verdict::Passed : Verdict::NoErrorsSeen,
         wide ? "" : "classic mix"},
        {"a stop without a duration", LoadChoice::Widest, 1, 0.0, true, wide ? Verdict::Passed : Verdict::NoErrorsSeen,
         wide ? "" : "classic mix"},
        {"a classic mix", LoadChoice::Builtin, 1, 0.6, false, Verdict::NoErrorsSeen, "classic mix: results not self-checked"},
        {"a stop before the duration", LoadChoice::Widest, 1, 60.0, true, Verdict::Incomplete,
         "stopped (SIGTERM) after 00:00:00 of 00:01:00"},
        {"no worker at all", LoadChoice::Widest, 0, 0.6, false, Verdict::Incomplete, "no worker ran"},
    };
    for (const Case& c : cases) {
        StressRun run{RunLog(logPath)};
        RunSettings settings;
        settings.load = c.load;
        settings.threads = c.threads;
        settings.durationSeconds = c.duration;
        run.BeginRun(settings);
        if (c.threads == 0) run.RunThreads(0);
        ASSERT_TRUE(PollUntil(run, [&] { return c.stopEarly ? run.ElapsedSeconds() >= 0.4 : run.DurationReached(); }));
        run.EndRun("SIGTERM", !c.stopEarly);
        const RunSummary summary = run.Summary();
        EXPECT_EQ(summary.verdict, c.verdict) << c.what << ": " << VerdictText(summary);
        EXPECT_EQ(summary.verdictReason.rfind(c.reason, 0), 0u) << c.what << ": " << summary.verdictReason;
        EXPECT_EQ(summary.selfChecked, c.load != LoadChoice::Builtin && wide) << c.what;
        EXPECT_EQ(summary.errors, 0u) << c.what;
    }
    const std::string log = ReadAll(logPath);
    EXPECT_NE(log.find("INCOMPLETE (stopped (SIGTERM) after 00:00:00 of 00:01:00)"), std::string::npos) << log;
    EXPECT_NE(log.find("NO ERRORS SEEN (classic mix: results not self-checked)"), std::string::npos) << log;
}

// A real invalid memory access inside a pass is an error of the processor the pass ran on; the
// worker starts afresh and goes on loading.
TEST_F(RunWithLog, ACrashInAPassIsAnErrorAndTheWorkerGoesOn) {
    const int processor = SpreadOrder(AllowedProcessors()).back();
    SetVariable("FERROX_INJECT_FAULT", "cpu=" + std::to_string(processor) + ",after=1,kind=crash");
    StressRun run{RunLog(logPath)};
    RunSettings settings;
    settings.threads = static_cast<unsigned>(AllowedProcessors().size());
    run.BeginRun(settings);
    ASSERT_TRUE(PollUntil(run, [&] { return run.Summary().errors > 0; }));
    const std::uint64_t passesAtError = run.Summary().workers.back().passes;
    ASSERT_TRUE(PollUntil(run, [&] { return run.Summary().workers.back().passes > passesAtError + 2; }))
        << "the worker loads again after the crash";
    run.EndRun("test");
    const RunSummary summary = run.Summary();
    EXPECT_EQ(summary.verdict, Verdict::Failed);
    ASSERT_EQ(summary.errorList.size(), 1u);
    const RunError& error = summary.errorList[0];
    EXPECT_EQ(error.kind, RunErrorKind::Crashed);
    EXPECT_EQ(error.processor, processor);
    EXPECT_EQ(error.faultAddress, 8u);
    EXPECT_EQ(error.faultName.rfind("invalid memory access", 0), 0u) << error.faultName;
    EXPECT_EQ(summary.workers.back().restarts, 1u);
    EXPECT_EQ(summary.failingProcessors, std::vector<int>{processor});
    EXPECT_NE(ReadAll(logPath).find("at address 0x8 in its work"), std::string::npos);
}

// A pass that never ends: the watchdog finds it by the processor time it burns and names its
// processor; the run still ends at once (the test lets the pass go afterwards).
TEST_F(RunWithLog, AStuckWorkerIsFoundAndDoesNotHoldTheEnd) {
    const int processor = SpreadOrder(AllowedProcessors()).front();
    SetVariable("FERROX_INJECT_FAULT", "cpu=" + std::to_string(processor) + ",after=2,kind=hang");
    std::atomic<bool> release{false};
    StressRun run{RunLog(logPath)};
    run.SetHangRelease(&release);
    RunSettings settings;
    settings.threads = 1;
    run.BeginRun(settings);
    ASSERT_TRUE(PollUntil(run, [&] { return run.Summary().errors > 0; })) << "never found stuck";
    const auto stopping = std::chrono::steady_clock::now();
    run.EndRun("test");
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(1)) << "a stuck worker is not waited for";
    EXPECT_EQ(run.AbandonedWorkers(), 1u);
    const RunSummary summary = run.Summary();
    EXPECT_EQ(summary.verdict, Verdict::Failed);
    ASSERT_EQ(summary.errorList.size(), 1u);
    EXPECT_EQ(summary.errorList[0].kind, RunErrorKind::StoppedResponding);
    EXPECT_EQ(summary.errorList[0].processor, processor);
    EXPECT_GE(summary.errorList[0].stuckSeconds, 2.0);
    ASSERT_EQ(summary.workers.size(), 1u);
    EXPECT_EQ(summary.workers[0].state, WorkerState::Hung);
    // For this test program's sake (Ferrox itself never lets a stuck pass go): the pass ends, and
    // the worker with it, before the run and the fault plan the worker reads are destroyed.
    release = true;
    bool ended = false;
    for (int wait = 0; wait < 2000 && !ended; ++wait) {
        ended = run.StopAllWorkers(0) == 0;  // also lets go of a given-up worker that has ended
        if (!ended) Sleep(10);
    }
    ASSERT_TRUE(ended) << "the released worker never ended";
}

// With core cycling the one worker (slot 0) moves over the processors: an error is blamed on the
// processor the pass ran on, not on the worker's slot.
TEST_F(RunWithLog, WithCyclingAnErrorNamesTheProcessorItHappenedOn) {
    const std::vector<int> order = SpreadOrder(AllowedProcessors());
    if (order.size() < 2) GTEST_SKIP() << "needs two processors";
    std::vector<int> ascending = order;
    std::sort(ascending.begin(), ascending.end());
    const int faulty = ascending[1];  // the second processor the worker visits
    SetVariable("FERROX_INJECT_FAULT", "cpu=" + std::to_string(faulty) + ",after=1,kind=kernel,bit=0");
    StressRun run{RunLog(logPath)};
    RunSettings settings;
    settings.cycleSeconds = 1;
    run.BeginRun(settings);
    ASSERT_TRUE(PollUntil(run, [&] { return run.Summary().errors > 0; }));
    run.EndRun("test");
    const RunSummary summary = run.Summary();
    ASSERT_EQ(summary.errorList.size(), 1u);
    EXPECT_EQ(summary.errorList[0].worker, 0u);
    EXPECT_EQ(summary.errorList[0].processor, faulty);
    EXPECT_EQ(summary.errorList[0].part, CheckPart::KernelState);
    EXPECT_EQ(summary.failingProcessors, std::vector<int>{faulty});
    // The first error's time is run time, within the run and equal to the error list's.
    for (const ProcessorResult& result : summary.processors) {
        if (result.processor != faulty) continue;
        EXPECT_NEAR(result.firstErrorSeconds, summary.errorList[0].seconds, 0.05);
        EXPECT_LE(result.firstErrorSeconds, summary.elapsedSeconds);
    }
}

// An error found in the last moment, between the last poll and the end, is still described in
// full: the workers' events are taken before they are let go.
TEST_F(RunWithLog, AnErrorJustBeforeTheEndIsDescribed) {
    const int processor = SpreadOrder(AllowedProcessors()).front();
    SetVariable("FERROX_INJECT_FAULT", "cpu=" + std::to_string(processor) + ",after=1");
    StressRun run{RunLog(logPath)};
    RunSettings settings;
    settings.threads = 1;
    run.BeginRun(settings);
    for (int wait = 0; wait < 2000 && run.Tally(processor)->errors.load() == 0; ++wait) Sleep(10);  // no poll
    ASSERT_GT(run.Tally(processor)->errors.load(), 0u);
    run.EndRun("test");
    const RunSummary summary = run.Summary();
    ASSERT_EQ(summary.errorList.size(), 1u) << "counted and described";
    EXPECT_EQ(summary.errorList[0].processor, processor);
    EXPECT_EQ(summary.errorList[0].part, CheckPart::X87Chain);
    EXPECT_NE(ReadAll(logPath).find("error at "), std::string::npos);
}

// Each loaded processor's share of the time it was meant to be loaded.
TEST_F(RunWithLog, EachLoadedProcessorHasItsShareOfTheRun) {
    StressRun run{RunLog(logPath)};
    RunSettings settings;
    settings.threads = static_cast<unsigned>(AllowedProcessors().size());
    settings.durationSeconds = 1.0;
    run.BeginRun(settings);
    ASSERT_TRUE(PollUntil(run, [&] { return run.DurationReached(); }));
    run.EndRun("duration");
    const RunSummary summary = run.Summary();
    ASSERT_EQ(summary.processors.size(), AllowedProcessors().size());
    for (const ProcessorResult& result : summary.processors) {
        EXPECT_NEAR(result.assignedSeconds, summary.elapsedSeconds, 0.2) << result.processor;
        EXPECT_GT(result.loadedShare, 0.0) << result.processor;
        EXPECT_LE(result.loadedShare, 1.2) << result.processor;
        EXPECT_NEAR(result.loadedShare, result.loadedSeconds / result.assignedSeconds, 1e-9);
    }
}
