#pragma once
// Ferrox's exit status, the same with and without a window: one for each verdict, and those for
// runs that could not begin.

#include "run/run_summary.h"

enum ExitStatus : int {
    kExitPassed = 0,        // the run was complete and checked, and no error was found
    kExitUsage = 1,         // the command line was wrong: nothing was started
    kExitErrorsFound = 2,   // at least one error: a check failed, a worker crashed or stopped responding
    kExitCannotStart = 3,   // Ferrox could not start (no display without --headless, a load this processor lacks)
    kExitIncomplete = 4,    // no error, but the run was incomplete: a worker could not start, a processor
                            // completed no check, or the run was stopped before its duration
    kExitStopped = 5,       // a safety limit stopped the run
    kExitReportNotWritten = 6,  // the report could not be written (whatever the verdict; none is left at its path)
    kExitNoErrorsSeen = 7,  // no error, but a classic mix ran, whose own arithmetic is not checked
};

inline int ExitStatusFor(Verdict verdict) {
    switch (verdict) {
    case Verdict::Failed: return kExitErrorsFound;
    case Verdict::Incomplete: return kExitIncomplete;
    case Verdict::Stopped: return kExitStopped;
    case Verdict::NoErrorsSeen: return kExitNoErrorsSeen;
    case Verdict::Passed: break;
    }
    return kExitPassed;
}
