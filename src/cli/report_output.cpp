#include "cli/report_output.h"

#include <cstdio>

#include "platform/files.h"
#include "run/console_lines.h"

bool CanWriteReport(const std::string& path, std::string* reason) { return path == "-" || CanWriteFile(path, reason); }

bool RemoveOldReport(const std::string& path, std::string* reason) { return path == "-" || RemoveFile(path, reason); }

bool WriteRunReport(const std::string& path, const RunSummary& summary, const RunSettings& settings,
                    const ReportTimes& times, double timeStampHz, const RunMonitor* monitor, RunLog* log, bool oneLine,
                    const PlanResult* plan) {
    const std::string text = FormatJson(BuildRunReport(summary, settings, times, timeStampHz, monitor, plan), oneLine) + "\n";
    if (path == "-") {
        const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
        if (std::fflush(stdout) == 0 && written) return true;
        WriteWarning("the report was not written: stdout is closed");
        if (log != nullptr) log->Write("the report was not written: stdout is closed");
        return false;
    }
    std::string error;
    if (ReplaceFile(path, text, &error)) return true;
    WriteWarning("the report was not written: " + error);
    if (log != nullptr) log->Write("the report was not written: " + error);
    return false;
}
