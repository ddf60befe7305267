// The Results window's table: one row per processor that was loaded, with the verdict above.
#pragma once

#include "plan/plan_runner.h"
#include "platform/table_window.h"
#include "run/run_summary.h"

// ended: the run is over (its verdict is final); plan (may be null): the test plan's phases.
TableContent ResultsTable(const RunSummary& summary, bool ended, const PlanResult* plan = nullptr);
