#include "cli/headless_run.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "cli/exit_status.h"
#include "cli/report_output.h"
#include "cli/status_line.h"
#include "load/seconds_clock.h"
#include "platform/termination_signals.h"
#include "run/run_text.h"
#include "run/stress_run.h"

namespace {
constexpr DWORD kPollMs = 100;

void Warn(const std::string& text) { std::fprintf(stderr, "ferrox: %s\n", text.c_str()); }

void ReportError(const RunError& error) { Warn("error at " + FormatRunTime(error.seconds, true) + ": " + DescribeError(error)); }
}  // namespace

int RunHeadless(const CommandLine& line) {
    // Signals from here on end the run in order, also one that comes while it starts.
    CatchTerminationSignals();
    StressRun run;
    ReportTimes times;
    times.start = std::time(nullptr);
    run.BeginRun(line.run);
    for (const std::string& note : run.TakeStartNotes()) Warn(note);
    LoadKernelKind kernel = LoadKernelKind::X87;
    if (!run.ChosenKernel(&kernel)) {
        run.EndRun("the load could not start");
        return kExitCannotStart;
    }
    const double timeStampHz = static_cast<double>(MeasureClockHz());
    double nextStatus = 1.0;
    bool reachedEnd = false;  // a signal or a closed output before the duration makes it incomplete
    for (;;) {
        if (const int signal = WaitForTerminationSignal(kPollMs); signal != 0) {
            times.endReason = TerminationSignalName(signal);
            break;
        }
        const RunPoll poll = run.Poll();
        for (const std::string& note : poll.notes) Warn(note);
        for (const RunError& error : poll.newErrors) ReportError(error);
        if (poll.safetyStop) {
            times.endReason = "a safety limit";
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
            std::printf("%s\n", status.c_str());
            // Whoever read the status lines has gone (a closed pipe): end the run as a signal would.
            if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
                times.endReason = "its output was closed";
                break;
            }
            nextStatus += 1.0;
        }
        if (run.DurationReached()) {
            times.endReason = "its duration ended";
            reachedEnd = true;
            break;
        }
    }
    run.EndRun(times.endReason, reachedEnd);
    // Errors of the last passes, taken while the workers stopped.
    times.end = std::time(nullptr);
    const RunSummary summary = run.Summary();
    std::printf("%s\n", SummaryText(summary, times.endReason).c_str());
    std::fflush(stdout);
    if (!line.reportPath.empty()) WriteRunReport(line.reportPath, summary, run.Settings(), times, timeStampHz, run.Monitor());
    const int status = ExitStatusFor(summary.verdict);
    if (run.AbandonedWorkers() > 0) {
        // A stuck worker never returns, and the run's objects must outlive it: end the process here,
        // with everything said and written.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
