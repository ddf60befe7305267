#pragma once
// The JSON report of a run, written at its end (also after a signal): the version, the start and
// end times, the machine, the settings, the results per processor and per worker with every error
// attributed, the clocks, and the verdict.

#include <ctime>
#include <string>

#include "plan/plan_runner.h"
#include "platform/json.h"
#include "run/run_monitor.h"
#include "run/run_settings.h"
#include "run/run_summary.h"

struct ReportTimes {
    std::time_t start = 0;
    std::time_t end = 0;
    std::string endReason;
};

// monitor: the run's sensors and their history (may be null: no "monitor" part); plan: the test
// plan's result (may be null: no "plan" part).
JsonValue BuildRunReport(const RunSummary& summary, const RunSettings& settings, const ReportTimes& times,
                         double timeStampHz, const RunMonitor* monitor = nullptr, const PlanResult* plan = nullptr);
// A plan's result: its verdict and each phase's.
JsonValue PlanJson(const PlanResult& plan);

// Pieces the status lines share: one worker, one processor, one error as JSON.
JsonValue WorkerJson(const WorkerResult& worker);
JsonValue ProcessorJson(const ProcessorResult& processor);
JsonValue ErrorJson(const RunError& error);
// Hertz as megahertz with one decimal, or null when unknown (0).
JsonValue Megahertz(double hz);
// One decimal, or null when not finite (a sensor the machine does not have).
JsonValue Rounded(double value);
