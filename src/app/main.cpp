// Ferrox: keeps the processors busy with checked work, in a window or without one, and says
// whether they computed correctly.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "app/ferrox_app.h"
#include "app/resources.h"
#include "cli/command_line_options.h"
#include "cli/exit_status.h"
#include "cli/headless_run.h"
#include "cli/metrics_file.h"
#include "cli/report_output.h"
#include "load/seconds_clock.h"
#include "load/load_kernel.h"
#include "plan/test_plan.h"
#include "platform/console.h"
#include "platform/processors.h"
#include "platform/files.h"
#include "platform/settings_store.h"
#include "platform/system_info.h"
#include "run/console_lines.h"

namespace {
// The one application object exists before the framework starts, as the framework requires.
CFerroxApp theApp;
}  // namespace

int main(int argc, char** argv) {
    AttachParentConsole();
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    CommandLine line;
    const ParseOutcome parsed = ParseFerroxCommandLine(argc, argv, system.dwNumberOfProcessors, &line);
    if (!parsed.proceed) {
        std::fputs(parsed.output.c_str(), stdout);
        if (!parsed.message.empty()) WriteLine(stderr, parsed.message);
        return parsed.status;
    }
    std::string reason;
    std::optional<TestPlan> plan;
    if (!line.plan.empty()) {
        TestPlan found;
        if (!FindPlan(line.plan, static_cast<unsigned>(AllowedProcessors().size()), ReadProcessorTraits(), &found, &reason)) {
            WriteWarning("--plan: " + reason);
            return kExitUsage;
        }
        plan = std::move(found);
    }
    if (!line.reportPath.empty() && !CanWriteReport(line.reportPath, &reason)) {
        WriteWarning("--report cannot be written: " + reason);
        return kExitUsage;
    }
    if (!line.metricsPath.empty() && !CanWriteFile(line.metricsPath, &reason)) {
        WriteWarning("--metrics cannot be written: " + reason);
        return kExitUsage;
    }
    // An earlier report must not pass for this run's if this one cannot be written at the end.
    if (!line.reportPath.empty() && !RemoveOldReport(line.reportPath, &reason)) {
        WriteWarning("--report: the earlier report cannot be removed: " + reason);
        return kExitUsage;
    }
    // Nor an earlier run's figures, should this run's first write fail.
    if (!line.metricsPath.empty() && !RemoveFile(line.metricsPath, &reason)) {
        WriteWarning("--metrics: the earlier metrics file cannot be removed: " + reason);
        return kExitUsage;
    }
    // The window keeps its menus' choices between runs; a headless run takes only the command line
    // (a script's run must not depend on what someone last chose in a window), but forgets them
    // when asked.
    const std::string settings = UserSettingsLocation();
    if (line.headless) {
        if (line.resetSettings && !ForgetSettings(settings, &reason))
            WriteWarning("--reset-settings: the kept settings could not be removed: " + reason);
        return RunHeadless(line, plan ? &*plan : nullptr);
    }

    MetricsFile metrics(line.metricsPath);
    WindowStart start = PrepareWindowStart(line, settings, ReadProcessorTraits());
    theApp.m_startOptions = start.options;
    theApp.m_startOptions.plan = plan;
    if (!line.metricsPath.empty()) theApp.m_startOptions.metrics = &metrics;
    theApp.m_kept = start.kept;
    theApp.m_settingsLocation = settings;
    theApp.m_settingsNotes = std::move(start.notes);
    ReportTimes times;
    times.start = std::time(nullptr);
    int status = AfxWinMain(argc, argv, FerroxResources(),
                                  WinMainFailure{kExitCannotStart, "run ferrox --headless to test without a window"});
    if (!line.reportPath.empty() && theApp.Ended()) {
        times.end = std::time(nullptr);
        times.endReason = theApp.EndReason();
        const RunSummary summary = theApp.Summary();
        const std::optional<PlanResult> planResult = theApp.PlanResultOf(summary);
        if (!WriteRunReport(line.reportPath, summary, theApp.Settings(), times, static_cast<double>(MeasureClockHz()),
                            theApp.Monitor(), &theApp.Log(), false, planResult ? &*planResult : nullptr))
            status = kExitReportNotWritten;
    }
    if (!line.metricsPath.empty() && theApp.Ended() && !metrics.Finish(theApp)) status = kExitReportNotWritten;
    if (theApp.AbandonedWorkers() > 0) {
        // A stuck worker never returns, and the application object it reads must outlive it: end
        // the process here, with the report written.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
