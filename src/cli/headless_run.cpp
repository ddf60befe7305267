#include "cli/headless_run.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "cli/exit_status.h"
#include "cli/metrics_file.h"
#include "cli/report_output.h"
#include "cli/status_line.h"
#include "load/seconds_clock.h"
#include "plan/plan_runner.h"
#include "platform/termination_signals.h"
#include "run/console_lines.h"
#include "run/run_text.h"
#include "run/stress_run.h"

namespace {
constexpr DWORD kPollMs = 100;

void Warn(const std::string& text) { WriteWarning(text); }

void ReportError(const RunError& error) { Warn("error at " + FormatRunTime(error.seconds, true) + ": " + DescribeError(error)); }
}  // namespace

int RunHeadless(const CommandLine& line, const TestPlan* plan) {
    // Signals from here on end the run in order, also one that comes while it starts.
    CatchTerminationSignals();
    StressRun run;
    ReportTimes times;
    times.start = std::time(nullptr);
    std::optional<PlanRunner> planRunner;
    if (plan != nullptr) planRunner.emplace(*plan);
    run.BeginRun(planRunner ? planRunner->StartSettings(line.run) : line.run);
    if (planRunner) planRunner->Begin(run);
    for (const std::string& note : run.TakeStartNotes()) Warn(note);
    LoadKernelKind kernel = LoadKernelKind::X87;
    if (!run.ChosenKernel(&kernel)) {
        run.EndRun("the load could not start");
        return kExitCannotStart;
    }
    const double timeStampHz = static_cast<double>(MeasureClockHz());
    MetricsFile metrics(line.metricsPath);
    const bool metricsWanted = !line.metricsPath.empty();
    double nextStatus = 1.0;
    bool reachedEnd = false;  // a signal or a closed output before the duration makes it incomplete
    for (;;) {
        if (const int signal = WaitForTerminationSignal(kPollMs); signal != 0) {
            times.endReason = TerminationSignalName(signal);
            break;
        }
        const RunPoll poll = run.Poll();
        for (const std::string& note : poll.notes) Warn(note);
        if (metricsWanted) metrics.Update(run);
        for (const RunError& error : poll.newErrors) ReportError(error);
        if (!poll.limitReached.empty()) {
            Warn(poll.limitReached);
            times.endReason = poll.limitReached;
            break;
        }
        if (line.run.stopOnError && !poll.newErrors.empty()) {
            times.endReason = "the first error (--stop-on-error)";
            reachedEnd = true;  // it did what it was asked to
            break;
        }
        // The status of the last second comes before the end.
        if (run.ElapsedSeconds() >= nextStatus) {
            const RunSummary summary = run.Summary();
            const std::string status = line.json ? StatusJson(summary, static_cast<double>(MeasureClockHz()))
                                                 : StatusText(summary, static_cast<double>(MeasureClockHz()));
            // Whoever read the status lines has gone (a closed pipe): end the run as a signal would.
            if (!WriteLine(stdout, status)) {
                times.endReason = "its output was closed";
                break;
            }
            nextStatus += 1.0;
        }
        // A plan's run lasts as long as the plan.
        const bool planOver = planRunner && planRunner->Step(run);
        if (planOver || run.DurationReached()) {
            times.endReason = planRunner ? "its plan ended" : "its duration ended";
            reachedEnd = true;
            break;
        }
    }
    run.EndRun(times.endReason, reachedEnd);
    for (const std::string& note : run.TakeEndNotes()) Warn(note);
    // Errors of the last passes, taken while the workers stopped.
    times.end = std::time(nullptr);
    const RunSummary summary = run.Summary();
    int status = ExitStatusFor(summary.verdict);
    const std::optional<PlanResult> planResult =
        planRunner ? std::optional<PlanResult>(planRunner->Result(summary)) : std::nullopt;
    if (metricsWanted && !metrics.Finish(summary, &run.Log())) status = kExitReportNotWritten;
    // A report file first, so the summary can give the status its writing decided; a report on
    // stdout comes after the summary.
    const bool reportToStdout = line.reportPath == "-";
    auto writeReport = [&] {
        if (!line.reportPath.empty() && !WriteRunReport(line.reportPath, summary, run.Settings(), times, timeStampHz,
                                                        run.Monitor(), &run.Log(), line.json,
                                                        planResult ? &*planResult : nullptr))
            status = kExitReportNotWritten;
    };
    if (!reportToStdout) writeReport();
    if (line.json) {
        WriteLine(stdout, SummaryJson(summary, times.endReason, status, planResult ? &*planResult : nullptr));
    } else {
        WriteLine(stdout, SummaryText(summary, times.endReason));
        if (planResult) WriteLine(stdout, PlanResultText(*planResult));
    }
    if (reportToStdout) writeReport();
    if (run.AbandonedWorkers() > 0) {
        // A stuck worker never returns, and the run's objects must outlive it: end the process here,
        // with everything said and written.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
