#pragma once
// A run without a window and without a display: status lines on stdout once a second, warnings
// and errors on stderr, until the duration ends, a signal comes (SIGINT, SIGTERM, SIGHUP) or, with
// --stop-on-error, the first error; then the workers stop, a summary line and the report follow.

#include "cli/command_line_options.h"

// The exit status: 0 no error, 2 errors found, 3 the run could not start, 6 the report could not
// be written.
int RunHeadless(const CommandLine& line);
