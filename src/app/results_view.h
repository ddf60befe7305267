// The Results window's table: one row per processor that was loaded, with the verdict above.
#pragma once

#include "platform/table_window.h"
#include "run/run_summary.h"

TableContent ResultsTable(const RunSummary& summary);
