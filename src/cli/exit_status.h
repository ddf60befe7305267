#pragma once
// Ferrox's exit status, the same with and without a window.

enum ExitStatus : int {
    kExitPassed = 0,        // the run ended and no error was found
    kExitUsage = 1,         // the command line was wrong: nothing was started
    kExitErrorsFound = 2,   // at least one check failed
    kExitCannotStart = 3,   // Ferrox could not start (no display without --headless, a load this processor lacks)
    kExitReportNotWritten = 6,  // the report could not be written (whatever the verdict; none is left at its path)
};
