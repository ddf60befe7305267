#pragma once
// Where the report goes: a file replaced in one step (an interrupted run never leaves half a
// report), or stdout for "-". A report from an earlier run is removed when the run starts, so a
// report that cannot be written at the end leaves none that could pass for this run's.

#include <string>

#include "cli/run_report.h"
#include "run/run_log.h"

// Whether the report can be written there, found out before the run starts; false with a reason.
bool CanWriteReport(const std::string& path, std::string* reason);
// Removes an earlier report at path before the run; false with a reason when it cannot.
bool RemoveOldReport(const std::string& path, std::string* reason);
// Writes it; false, with one line on stderr and one in the log (when given), when it could not.
// oneLine: as a single line (on stdout among JSON lines).
bool WriteRunReport(const std::string& path, const RunSummary& summary, const RunSettings& settings,
                    const ReportTimes& times, double timeStampHz, const RunMonitor* monitor = nullptr,
                    RunLog* log = nullptr, bool oneLine = false, const PlanResult* plan = nullptr);
