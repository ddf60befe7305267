#pragma once
// The cache and memory loads in the report and the status lines: the buffer, its bandwidth and
// what was verified, and a memory error's address, bits and processors.

#include <string>

#include "platform/json.h"
#include "run/run_summary.h"

// The report's "memory" part.
JsonValue MemoryLoadJson(const MemoryLoadSummary& memory);
// A memory error's own fields, added to its entry in the report.
void AddMismatchJson(const RunError& error, JsonValue* entry);
// ", memory 12.3 GB/s, 40960 blocks verified" for a status line; empty when no such load ran.
std::string MemoryStatusText(const MemoryLoadSummary& memory);
// Gigabytes a second with one decimal.
double GigabytesPerSecond(double bytesPerSecond);
