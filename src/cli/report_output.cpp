#include "cli/report_output.h"

#include <cstdio>

#include "platform/files.h"

bool CanWriteReport(const std::string& path, std::string* reason) { return path == "-" || CanWriteFile(path, reason); }

bool RemoveOldReport(const std::string& path, std::string* reason) { return path == "-" || RemoveFile(path, reason); }

bool WriteRunReport(const std::string& path, const RunSummary& summary, const RunSettings& settings,
                    const ReportTimes& times, double timeStampHz, const RunMonitor* monitor, RunLog* log) {
    const std::string text = FormatJson(BuildRunReport(summary, settings, times, timeStampHz, monitor), false) + "\n";
    if (path == "-") {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return true;
    }
    std::string error;
    if (ReplaceFile(path, text, &error)) return true;
    std::fprintf(stderr, "ferrox: the report was not written: %s\n", error.c_str());
    if (log != nullptr) log->Write("the report was not written: " + error);
    return false;
}
