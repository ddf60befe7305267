#pragma once
// A run's results as values: per processor, per worker, each error, and the verdict. The title,
// the tray tip, the Results window, the status lines, the log and the report all read these.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "check/check_parts.h"
#include "load/load_kernel.h"
#include "load/worker_report.h"

enum class Verdict : int {
    NoErrors,  // no error so far (while running), or the run ended without one: passed
    Failed,    // at least one check failed
};

struct ProcessorResult {
    int processor = -1;
    int core = -1;       // -1 when the topology does not say
    int package = -1;
    double loadedSeconds = 0.0;  // processor time the workers spent loading it
    std::uint64_t checks = 0;    // checks that passed there
    std::uint64_t errors = 0;
    double firstErrorSeconds = -1.0;  // run time of its first error; -1: none
    double coreClockHz = 0.0;         // its last effective-clock measurement; 0: none yet
    bool failed = false;              // a worker stopped loading it after an error
};

struct WorkerResult {
    unsigned worker = 0;
    int processor = -1;  // where it ran last
    LoadKernelKind kernel = LoadKernelKind::X87;
    WorkerState state = WorkerState::Starting;
    std::uint64_t passes = 0;
    std::uint64_t checks = 0;
    std::uint64_t errors = 0;
    double loadedSeconds = 0.0;
    double coreClockHz = 0.0;
};

struct RunError {
    double seconds = 0.0;  // run time
    unsigned worker = 0;
    int processor = -1;
    int core = -1;
    int package = -1;
    CheckPart part = CheckPart::X87Chain;
    std::uint64_t expected = 0;
    std::uint64_t obtained = 0;
};

struct ClockStatistics {
    double minimumHz = 0.0;
    double meanHz = 0.0;
    double maximumHz = 0.0;
    std::uint64_t samples = 0;
};

struct RunSummary {
    double elapsedSeconds = 0.0;
    std::uint64_t checks = 0;
    std::uint64_t errors = 0;
    Verdict verdict = Verdict::NoErrors;
    bool kernelRuns = true;  // false: the processor cannot run the chosen load
    LoadKernelKind kernel = LoadKernelKind::X87;
    std::vector<ProcessorResult> processors;  // those loaded or checked, in processor order
    std::vector<WorkerResult> workers;        // the running workers
    std::vector<RunError> errorList;          // the first errors, in order (at most kMaxErrorsKept)
    std::vector<int> failingProcessors;       // with at least one error, ascending
    ClockStatistics coreClock;                // effective clock over every measurement of the run
    // The monitor's latest sweep: NaN where the machine has no such sensor.
    double hottestCelsius = std::numeric_limits<double>::quiet_NaN();
    std::string hottestLabel;
    double packageWatts = std::numeric_limits<double>::quiet_NaN();
    std::size_t throttleEvents = 0;
    std::string logPath;     // the run log; empty when there is no place for one
    std::string logProblem;  // why the log was (partly) not written; empty when every line was
};

inline constexpr std::size_t kMaxErrorsKept = 1000;

// "PASSED" / "FAILED".
const char* VerdictWord(Verdict verdict);
