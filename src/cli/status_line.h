#pragma once
// The headless run's status line, once a second: run time, the measured clocks, checks passed and
// errors; as text, or with --json as one JSON object with the same fields and each worker's.

#include <string>

#include "plan/plan_runner.h"
#include "run/run_summary.h"

// timeStampHz: the time-stamp counter's rate, as the window's title shows it.
std::string StatusText(const RunSummary& summary, double timeStampHz);
std::string StatusJson(const RunSummary& summary, double timeStampHz);
// The line that closes the run: "PASSED after 00:10:00: 9600 checks, 0 errors" and its reason.
std::string SummaryText(const RunSummary& summary, const std::string& reason);
// The same as one JSON object (with --json every line on stdout is one), with the exit status.
// plan (may be null): a plan's result, each phase's verdict and figures.
std::string SummaryJson(const RunSummary& summary, const std::string& reason, int exitStatus,
                        const PlanResult* plan = nullptr);
// "AVX-512 at normal 00:01:00, SSE mix at high 00:00:30": each load and priority the run had.
std::string LoadSpellsText(const RunSummary& summary);
