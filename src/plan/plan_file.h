#pragma once
// Test plans written by the user, as JSON:
//
//   {
//     "name": "nightly",                  optional; the file's name otherwise
//     "phases": [                         1 to 100 phases, run in this order
//       {
//         "name": "burn-in",              optional
//         "load": "widest",               widest (default), avx512, avx2, builtin, cache or memory
//         "threads": "auto",              a count from 1 to 1024, or auto (default); or instead:
//         "cycle": 30,                    core cycling, whole seconds on each processor (1 to 86400)
//         "duration": "10m",              required: 90s, 10m, 2h, 1h30m, or seconds as a number
//         "variable": {"period": "100ms", "on": 0.5}
//                                         optional: work for the share "on" (0.05 to 0.95) of every
//                                         period (10ms to 10s), rest the rest
//       }
//     ]
//   }
//
// Every mistake is reported with its place ("phases[2].duration: ...") before anything starts;
// a member Ferrox does not know is a mistake too (a misspelt one would otherwise be ignored).

#include <string>

#include "plan/test_plan.h"

// Reads a plan from the JSON text of a file; name is the plan's name when the text gives none.
bool ParsePlan(const std::string& text, const std::string& name, TestPlan* plan, std::string* error);
// Reads the plan file at path (at most 1 MiB, a regular file).
bool ReadPlanFile(const std::string& path, TestPlan* plan, std::string* error);
