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
#include "monitor/time_series_store.h"
#include "run/run_settings.h"

// The answer a run gives, the same in every view. While the run goes on it is Failed from the
// first error, else Passed (or NoErrorsSeen) so far; the other two only come at its end.
enum class Verdict : int {
    Passed,        // every worker started, every processor checked, the run reached its end: no error
    Failed,        // at least one error: a check failed, a worker crashed or stopped responding
    Incomplete,    // no error, but the run did not do what it was to do (see verdictReason)
    Stopped,       // a safety limit ended the run
    NoErrorsSeen,  // as Passed, but a classic mix ran, whose own arithmetic is not checked
};
inline constexpr int kVerdictCount = 5;

struct ProcessorResult {
    int processor = -1;
    int core = -1;       // -1 when the topology does not say
    int package = -1;
    double loadedSeconds = 0.0;  // processor time the workers spent loading it
    double assignedSeconds = 0.0;  // run time it was meant to be loaded (whole, or its share of unpinned workers)
    double loadedShare = -1.0;     // loadedSeconds / assignedSeconds; -1 before it was meant to be loaded
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
    std::uint64_t restarts = 0;  // fresh starts after a hardware fault in its work
};

enum class RunErrorKind : int {
    CheckFailed,        // a digest differed: part, expected and obtained say which
    Crashed,            // a hardware fault in the worker's work (faultName, faultAddress)
    StoppedResponding,  // the worker used processor time for long without finishing a pass
    WordMismatch,       // a word of the cache or memory load differed (kernel, mismatch, expected, obtained)
};

struct RunError {
    RunErrorKind kind = RunErrorKind::CheckFailed;
    double seconds = 0.0;  // run time
    unsigned worker = 0;
    int processor = -1;     // where the work started
    int core = -1;
    int package = -1;
    int endProcessor = -1;  // where it ended when it moved during the work (blamed too); -1: it did not
    CheckPart part = CheckPart::X87Chain;
    std::uint64_t expected = 0;
    std::uint64_t obtained = 0;
    std::string faultName;           // Crashed
    std::uint64_t faultAddress = 0;  // Crashed: the address an invalid access touched (0: none)
    double stuckSeconds = 0.0;       // StoppedResponding: processor time used without a finished pass
    LoadKernelKind kernel = LoadKernelKind::Memory;  // WordMismatch: the load that found it
    WordMismatch mismatch;                           // WordMismatch: address, writer and reader
};

// The cache and memory loads' figures, when one ran.
struct MemoryLoadSummary {
    bool ran = false;
    LoadKernelKind kernel = LoadKernelKind::Memory;
    std::uint64_t bufferBytes = 0;     // memory: the buffer in use now (smaller after a shrink)
    std::uint64_t startBytes = 0;      // memory: the buffer it started with
    std::uint64_t marginBytes = 0;     // memory: what Ferrox leaves to the system
    bool hugePages = false;
    bool locked = false;
    bool physicalAddresses = false;    // errors can name physical addresses
    std::string path;                  // the widest loads and stores it uses: "AVX-512"
    double bytesPerSecond = 0.0;       // over the last second: copied (memory) or verified (cache)
    double meanBytesPerSecond = 0.0;   // since the load started
    std::uint64_t bytesVerified = 0;
    std::uint64_t blocksVerified = 0;  // memory: blocks whose checksum was verified
    double sweeps = 0.0;               // memory: sweeps of the whole buffer
    double crossReadShare = -1.0;      // memory: verified blocks another processor had written
    std::string cacheDataSets;         // cache: one worker's data sets ("24 KiB + 1536 KiB + 12288 KiB")
};

// How long the run had one load at one priority (the window can change them while it runs).
struct LoadSpell {
    std::string kernel;  // LoadKernelName, or "none"
    PriorityChoice priority = PriorityChoice::Normal;  // the priority the workers really had
    double seconds = 0.0;
};

struct RunSummary {
    double elapsedSeconds = 0.0;
    std::uint64_t checks = 0;
    std::uint64_t errors = 0;
    Verdict verdict = Verdict::Passed;
    // Why the verdict is Incomplete, Stopped or NoErrorsSeen ("2 of 16 workers could not start:
    // Resource temporarily unavailable"); empty for the others.
    std::string verdictReason;
    bool selfChecked = true;  // every load that ran checked its own arithmetic (no classic mix ran)
    PriorityChoice appliedPriority = PriorityChoice::Normal;  // what the workers got (may be below the asked-for one)
    // The safety limits in force (+infinity: none) and where the temperature limit came from.
    double limitCelsius = std::numeric_limits<double>::infinity();
    double limitWatts = std::numeric_limits<double>::infinity();
    std::string limitSource;
    std::vector<LoadSpell> loadSpells;
    bool kernelRuns = true;  // false: the processor cannot run the chosen load
    LoadKernelKind kernel = LoadKernelKind::X87;
    std::vector<ProcessorResult> processors;  // those loaded or checked, in processor order
    std::vector<WorkerResult> workers;        // the running workers
    std::vector<RunError> errorList;          // the first errors, in order (at most kMaxErrorsKept)
    std::vector<int> failingProcessors;       // with at least one error, ascending
    SeriesSummary coreClock;                // effective clock in Hz over the monitor's samples (EffectiveClockFigures)
    // The monitor's latest sweep: NaN where the machine has no such sensor.
    double hottestCelsius = std::numeric_limits<double>::quiet_NaN();
    std::string hottestLabel;
    double packageWatts = std::numeric_limits<double>::quiet_NaN();
    std::size_t throttleEvents = 0;
    std::string logPath;     // the run log; empty when there is no place for one
    std::string logProblem;  // why the log was (partly) not written; empty when every line was
    MemoryLoadSummary memory;
};

inline constexpr std::size_t kMaxErrorsKept = 1000;

// "check failed", "crashed", "stopped responding", "memory mismatch".
const char* RunErrorKindKey(RunErrorKind kind);

// "PASSED", "FAILED", "INCOMPLETE", "STOPPED", "NO ERRORS SEEN".
const char* VerdictWord(Verdict verdict);
// "passed", "failed", "incomplete", "stopped", "no errors seen": the report's and the log's values.
const char* VerdictKey(Verdict verdict);
// The word with its reason: "INCOMPLETE (stopped by SIGTERM after 00:00:05 of 00:01:00)".
std::string VerdictText(const RunSummary& summary);
