// A plan run as one run: each phase's settings in turn, each phase's figures and verdict, and the
// plan's verdict when it ends early; the variable load's rest.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "load/placement.h"
#include "plan/plan_runner.h"
#include "platform/clock.h"
#include "platform/processors.h"
#include "platform/thread.h"
#include "test_environment.h"

namespace {


PlanPhase Phase(const char* name, double seconds) {
    PlanPhase phase;
    phase.name = name;
    phase.settings.threads = 1;
    phase.settings.durationSeconds = seconds;
    return phase;
}

class PlanRun : public testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        directory = (std::filesystem::temp_directory_path() / ("ferrox-plan-" + std::to_string(random()))).string();
        std::filesystem::create_directories(directory);
    }
    void TearDown() override {
        UnsetVariable("FERROX_INJECT_FAULT");
        std::filesystem::remove_all(directory);
    }
    // Polls run and the plan until the plan's time is over, or until stop() says so.
    template <typename Stop>
    bool RunUntil(StressRun& run, PlanRunner& plan, Stop stop) {
        for (int poll = 0; poll < 3000; ++poll) {
            run.Poll();
            if (plan.Step(run) || stop()) return true;
            Sleep(10);
        }
        return false;
    }
    std::string directory;
};

}  // namespace

TEST_F(PlanRun, EachPhaseRunsInTurnWithItsOwnFiguresAndVerdict) {
    TestPlan plan;
    plan.name = "three";
    plan.phases = {Phase("first", 0.6), Phase("cycling", 0.8), Phase("variable", 0.8)};
    plan.phases[1].settings.threads = 0;
    plan.phases[1].settings.cycleSeconds = 1;
    plan.phases[2].settings.variablePeriodSeconds = 0.05;
    plan.phases[2].settings.variableOnShare = 0.5;
    PlanRunner runner(plan);
    StressRun run{RunLog(directory + "/ferrox.log")};
    RunSettings base;
    base.priority = PriorityChoice::Low;
    const RunSettings start = runner.StartSettings(base);
    EXPECT_EQ(start.priority, PriorityChoice::Low) << "the plan keeps the run's own settings";
    EXPECT_DOUBLE_EQ(start.durationSeconds, 2.2);
    EXPECT_EQ(start.threads, 1u);
    run.BeginRun(start);
    runner.Begin(run);
    EXPECT_EQ(runner.CurrentPhaseText(run), "phase 1 of 3 (first)");
    bool sawCycling = false, sawVariable = false;
    ASSERT_TRUE(RunUntil(run, runner, [&] {
        sawCycling = sawCycling || run.Settings().cycleSeconds == 1;
        sawVariable = sawVariable || run.DutyPeriodSeconds() == 0.05;
        return false;
    }));
    run.EndRun("its plan ended", true);
    const RunSummary summary = run.Summary();
    EXPECT_TRUE(sawCycling && sawVariable) << "every phase's settings were the run's in turn";
    const PlanResult result = runner.Result(summary);
    EXPECT_EQ(result.verdict, summary.verdict);
    ASSERT_EQ(result.phases.size(), 3u);
    double ran = 0;
    std::uint64_t checks = 0;
    for (const PhaseResult& phase : result.phases) {
        EXPECT_TRUE(phase.ran) << phase.name;
        EXPECT_EQ(phase.errors, 0u) << phase.name;
        EXPECT_EQ(phase.verdict, summary.verdict) << phase.name;
        EXPECT_NEAR(phase.ranSeconds, phase.plannedSeconds, 0.3) << phase.name;
        ran += phase.ranSeconds;
        checks += phase.checks;
    }
    // The phases share the run's time and checks between them (how many each got depends on how
    // busy the machine is).
    EXPECT_NEAR(ran, summary.elapsedSeconds, 0.05);
    EXPECT_EQ(checks, summary.checks);
    EXPECT_GT(checks, 0u);
    EXPECT_EQ(PlanResultText(result).rfind("plan three: ", 0), 0u);
}

// An error in the second phase fails that phase (and the plan), not the first; a plan stopped in
// its second phase leaves that phase incomplete and the third not run.
TEST_F(PlanRun, AnErrorOrAnEarlyEndIsThePhasesItHappenedIn) {
    const std::vector<int> order = SpreadOrder(AllowedProcessors());
    if (order.size() < 2) GTEST_SKIP() << "needs two processors";
    // The first phase's one worker keeps to the first processor; the second phase loads them all,
    // so the fault on the second processor can only come in the second phase.
    SetVariable("FERROX_INJECT_FAULT", "cpu=" + std::to_string(order[1]) + ",after=0");
    TestPlan plan;
    plan.name = "faulty";
    plan.phases = {Phase("clean", 0.8), Phase("faulty", 3.0), Phase("never", 5.0)};
    plan.phases[1].settings.threads = 0;
    PlanRunner runner(plan);
    StressRun run{RunLog(directory + "/ferrox.log")};
    run.BeginRun(runner.StartSettings(RunSettings{}));
    runner.Begin(run);
    ASSERT_TRUE(RunUntil(run, runner, [&] { return run.Summary().errors > 0; }));
    run.EndRun("SIGTERM", false);
    const PlanResult result = runner.Result(run.Summary());
    ASSERT_EQ(result.phases.size(), 3u);
    EXPECT_EQ(result.phases[0].verdict, Verdict::Passed);
    EXPECT_EQ(result.phases[0].errors, 0u);
    EXPECT_EQ(result.phases[1].verdict, Verdict::Failed);
    EXPECT_EQ(result.phases[1].errors, 1u);
    EXPECT_FALSE(result.phases[2].ran);
    EXPECT_EQ(result.verdict, Verdict::Failed);
    UnsetVariable("FERROX_INJECT_FAULT");

    // The same plan stopped in its second phase without an error: incomplete there.
    PlanRunner again(plan);
    StressRun quiet{RunLog(directory + "/quiet.log")};
    quiet.BeginRun(again.StartSettings(RunSettings{}));
    again.Begin(quiet);
    ASSERT_TRUE(RunUntil(quiet, again, [&] { return quiet.Settings().threads == 0; }));
    quiet.EndRun("SIGTERM", false);
    const PlanResult stopped = again.Result(quiet.Summary());
    EXPECT_EQ(stopped.verdict, Verdict::Incomplete);
    EXPECT_EQ(stopped.phases[1].verdict, Verdict::Incomplete);
    EXPECT_FALSE(stopped.phases[2].ran);
}

// A variable load's workers rest for the rest of every period: over a second with a 30 % on-time
// they use well under half the processor time a steady load would; and they still do checked work.
TEST_F(PlanRun, AVariableLoadRestsBetweenItsOnTimes) {
    LoadWorkers workers;
    workers.SetDutyCycle(0.1, 0.3);
    workers.StartWorkers(1);
    WorkerContext* worker = workers.Context(0);
    ASSERT_NE(worker, nullptr);
    LARGE_INTEGER frequency{}, begin{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    const std::uint64_t loadedBefore = worker->report.loadedNanoseconds.load();
    Sleep(1200);
    QueryPerformanceCounter(&end);
    const double wall = static_cast<double>(end.QuadPart - begin.QuadPart) / static_cast<double>(frequency.QuadPart);
    const double loaded = static_cast<double>(worker->report.loadedNanoseconds.load() - loadedBefore) * 1e-9;
    EXPECT_LT(loaded, 0.5 * wall) << "a load on 30 % of the time used " << loaded << " s of " << wall;
    EXPECT_GT(worker->report.passes.load(), 10u) << "slices, not whole passes";
    EXPECT_GT(worker->report.checks.load(), 0u);
    EXPECT_EQ(worker->report.errors.load(), 0u);
    workers.StopWorkers();
}
