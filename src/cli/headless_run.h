#pragma once
// A run without a window and without a display: status lines on stdout once a second, warnings
// and errors on stderr, until the duration ends, a signal comes (SIGINT, SIGTERM, SIGHUP) or, with
// --stop-on-error, the first error; then the workers stop, a summary line and the report follow.

#include "cli/command_line_options.h"
#include "plan/test_plan.h"

// The exit status of the verdict (exit_status.h), 3 when the run could not start, or 6 when the
// report could not be written.
// plan (may be null): the test plan to run.
int RunHeadless(const CommandLine& line, const TestPlan* plan = nullptr);
