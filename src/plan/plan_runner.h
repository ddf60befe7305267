#pragma once
// Runs a test plan as one run whose settings change at each phase's start: the window and the
// headless runner poll the run as they always do and give the runner each step. The run's verdict
// is the plan's (the worst of its phases: an error fails the plan, a limit stops it, a signal or an
// early close leaves it incomplete); each phase also gets a verdict of its own from what happened
// while it ran.

#include <string>
#include <vector>

#include "plan/test_plan.h"
#include "run/run_summary.h"
#include "run/stress_run.h"

struct PhaseResult {
    std::string name;
    std::string description;  // DescribePhase
    double plannedSeconds = 0.0;
    double ranSeconds = 0.0;
    bool ran = false;          // false: the plan ended before this phase began
    std::uint64_t checks = 0;  // during this phase
    std::uint64_t errors = 0;
    Verdict verdict = Verdict::Passed;  // meaningful when ran
    std::string verdictReason;
};

struct PlanResult {
    std::string name;
    Verdict verdict = Verdict::Passed;  // the run's
    std::vector<PhaseResult> phases;
};

class PlanRunner {
public:
    explicit PlanRunner(TestPlan plan);

    const TestPlan& Plan() const { return m_plan; }
    // The settings to begin the run with: base's (priority, pinning, stop on error, limits) with
    // the first phase's load and the whole plan's duration.
    RunSettings StartSettings(const RunSettings& base) const;
    // After BeginRun (or at once in a run already going: the plan starts now).
    void Begin(StressRun& run);
    // On every poll: moves the run to the next phase when its time has come. True once the plan's
    // time is over (end the run then, as one that reached its end).
    bool Step(StressRun& run);
    // "phase 2 of 3 (each processor alone)", for titles and status lines; empty once over.
    std::string CurrentPhaseText(const StressRun& run) const;
    // Each phase's figures and verdict; after EndRun, the whole plan's.
    PlanResult Result(const RunSummary& summary) const;

private:
    struct Mark {
        double seconds = 0.0;  // run time the phase began
        std::uint64_t checks = 0, errors = 0;
        std::vector<LoadKernelKind> kernels;
    };
    void StartPhase(StressRun& run, std::size_t index);

    TestPlan m_plan;
    double m_startSeconds = 0.0;
    std::size_t m_current = 0;
    std::vector<Mark> m_marks;  // one per phase begun
    bool m_over = false;
};

// "plan quick: FAILED; every processor, widest kernel PASSED (2:00); each processor alone FAILED ..."
std::string PlanResultText(const PlanResult& result);
