// The Results window's table: one row per processor that was loaded, with the verdict above.
#pragma once

#include "platform/table_window.h"
#include "run/run_summary.h"

// ended: the run is over (its verdict is final).
TableContent ResultsTable(const RunSummary& summary, bool ended);
