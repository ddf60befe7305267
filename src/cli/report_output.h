#pragma once
// Where the report goes: a file replaced in one step (an interrupted run never leaves half a
// report), or stdout for "-".

#include <string>

#include "cli/run_report.h"

// Whether the report can be written there, found out before the run starts; false with a reason.
bool CanWriteReport(const std::string& path, std::string* reason);
// Writes it; false (and one line on stderr) when it could not.
bool WriteRunReport(const std::string& path, const RunSummary& summary, const RunSettings& settings,
                    const ReportTimes& times, double timeStampHz, const RunMonitor* monitor = nullptr);
