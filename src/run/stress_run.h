#pragma once
// One run: the settings, the workers, the per-processor results, the verdict and the log, with no
// window code. The window and the headless runner both drive one, and show its summary.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "load/load_workers.h"
#include "memtest/memtest_loads.h"
#include "monitor/sysfs_root.h"
#include "run/core_cycler.h"
#include "run/run_log.h"
#include "run/run_monitor.h"
#include "run/run_settings.h"
#include "run/run_summary.h"

class FaultInjector;

// What a poll found.
struct RunPoll {
    std::vector<RunError> newErrors;
    std::vector<std::string> notes;  // warnings for the user (the log not writable, a refused processor)
    bool firstError = false;         // the run's first error is among newErrors
    // Set when a safety limit was reached: why ("temperature limit 95 °C reached: Package id 0 at
    // 95.5 °C after 00:12:31"). The run must end now (EndRun with this reason).
    std::string limitReached;
    bool safetyStop = false;         // a safety limit stopped the load (available memory ran low): end the run
};

class StressRun : public LoadWorkers {
public:
    explicit StressRun(RunLog log = RunLog());
    ~StressRun() override;

    // Starts the clock and the log, and the workers of settings. A malformed FERROX_INJECT_FAULT
    // gives one note (see TakeStartNotes) and is ignored.
    void BeginRun(const RunSettings& settings);
    // Stops the workers (waiting for them together, at most kStopBoundSeconds), takes every error
    // they found to the last moment, and writes the verdict line (once; later calls do nothing).
    // reason says what ended the run ("its duration ended", "SIGTERM"); reachedItsEnd is false when
    // it ended before its duration (the verdict is then Incomplete at best). A run without a
    // duration reaches its end whenever it is stopped.
    void EndRun(const std::string& reason, bool reachedItsEnd = true);
    bool Ended() const { return m_ended; }
    const std::string& EndReason() const { return m_endReason; }
    static constexpr double kStopBoundSeconds = 5.0;

    // Setting changes as the menus make them.
    void RunThreads(unsigned count);           // exactly count workers (0: none); leaves cycling
    void RunCycling(unsigned periodSeconds);   // one worker moving over every processor
    void ChangePriority(PriorityChoice choice);
    void ChangeLoad(LoadChoice choice);        // restarts the workers
    void ChangePinning(bool pin);              // restarts the workers
    void ChangeMemorySize(const MemorySizeRequest& request);  // restarts the memory load
    void ChangeStopOnError(bool stop);
    // A test plan's next phase: its load, thread count or core cycling, and variable load, with one
    // restart of the workers.
    void ChangePhase(const RunSettings& phase);
    // The run ends by itself at this run time (0: it runs until stopped).
    void ChangeDuration(double seconds);
    // maxCelsius as in RunSettings (kLimitFromSensors, kNoLimit or degrees).
    void ChangeTemperatureLimit(double maxCelsius);

    // The limits in force: +infinity for none, and where the temperature limit comes from.
    double TemperatureLimit() const { return m_limitCelsius; }
    double PowerLimit() const { return m_limitWatts; }
    const std::string& TemperatureLimitSource() const { return m_limitSource; }

    // About ten times a second, on the thread that owns the run: takes the workers' events into
    // the error list and the log, moves the cycling worker, notes what the user should hear of.
    RunPoll Poll();
    // Whether the settings' duration has passed.
    bool DurationReached() const;

    RunSummary Summary() const;
    const RunSettings& Settings() const { return m_settings; }
    // Run time: until now, or until its end once it has ended.
    double ElapsedSeconds() const;
    RunLog& Log() { return m_log; }
    // The sensors below root instead of those FERROX_SYSFS_ROOT or "/" names (before BeginRun).
    void UseSensorsAt(const SysfsRoot& root) { m_sensorRoot = root; }
    // The run's monitor (clocks, sensors, their history, throttling); null before BeginRun.
    const RunMonitor* Monitor() const { return m_monitor.get(); }
    // The notes not shown yet (the start's, and those of setting changes since); Poll takes them too.
    std::vector<std::string> TakeStartNotes();
    // What EndRun's last look found for the user (throttling that ended with the run), once.
    std::vector<std::string> TakeEndNotes();
    // The cache and memory loads' state (the memory load's buffer, its kernels).
    const MemtestLoads& Memtest() const { return *m_memtest; }
    // Where the memory guard reads the available memory (tests simulate a shrinking machine).
    void SetMemoryStatusSource(MemoryStatus (*source)()) { m_memoryStatus = source; }
    // Why a safety limit stopped the run's load; empty while none did.
    const std::string& SafetyStop() const { return m_safetyStop; }

private:
    void StartLoad();
    // Notes workers the last start could not start (requested were asked for), and whether a
    // classic mix now runs.
    void NoteWorkerStarts(unsigned requested);
    void StartMonitor();
    // The temperature and power limits the settings and the sensors give.
    void ResolveLimits();
    // Whether the latest sweep reaches a limit; sets poll.limitReached (once).
    void CheckLimits(RunPoll& poll);
    // "temperature limit 95.0 °C (coretemp Package id 0 critical point 100.0 °C less 5), no power limit".
    std::string LimitsText() const;
    // Logs each setting that differs from before (time, old, new) and starts a new spell.
    void LogChange(const RunSettings& before);
    // Finds the priority the workers really get (the highest at or below the one asked for that
    // this user may have) and says so when it is not the one asked for.
    void ApplyPriority();
    // Closes the current spell of one load at one priority and opens the next.
    void NextSpell();
    // The memory load's buffer or the cache load's sizes, for the kernel now chosen.
    void PrepareMemtest();
    // Once a second: the memory load's bandwidth, and its buffer kept within the available memory.
    void WatchMemoryLoad(RunPoll& poll);
    void NoteInjectedFlip(RunPoll& poll);
    // A note for the user from outside a poll: logged now, given with the start notes or the next poll.
    void NoteLater(const std::string& note);
    void Note(RunPoll& poll, const std::string& note);
    void TakeEvent(const WorkerEvent& event, RunPoll& poll);
    void AddError(RunError error, RunPoll& poll);
    // A worker the watchdog (or the stop) found stuck: an error on the processor of its pass.
    void TakeHungWorker(const HungWorker& worker, RunPoll& poll);
    void TakeClockMeasurements();
    // Adds the time since the last call to each processor the run means to load now, and warns
    // once about a processor that got less than 90 % of it.
    void TrackLoadedShares(RunPoll& poll);
    // Why the ended run is incomplete (empty when it is not).
    std::string IncompleteReason() const;
    static WorkerResult WorkerResultOf(const WorkerContext& context);

    RunSettings m_settings;
    std::shared_ptr<MemtestLoads> m_memtest = std::make_shared<MemtestLoads>();
    MemoryStatus (*m_memoryStatus)() = ReadMemoryStatus;
    std::vector<std::string> m_laterNotes;
    MemoryLoadSummary m_memorySummary;   // the figures fixed when the load started, and the rates
    double m_memoryStart = 0.0;          // run time the cache or memory load started
    std::uint64_t m_memoryBytesAtStart = 0;
    double m_nextMemoryWatch = 0.0;
    std::uint64_t m_memoryBytesSeen = 0;
    double m_memorySeenAt = 0.0;
    bool m_lockWarned = false;
    bool m_killPreferenceSet = false;
    bool m_flipNoted = false;
    std::string m_safetyStop;
    RunLog m_log;
    CoreCycler m_cycler;
    std::unique_ptr<FaultInjector> m_injector;
    std::optional<SysfsRoot> m_sensorRoot;
    std::unique_ptr<RunMonitor> m_monitor;
    double m_nextMonitorSample = 0.0;
    std::vector<RunError> m_errors;
    std::vector<WorkerResult> m_endedWorkers;  // the workers as they ended
    std::uint64_t m_errorCount = 0;
    std::vector<std::string> m_startNotes;
    std::vector<std::string> m_endNotes;
    std::vector<std::uint64_t> m_checksSeen;  // per processor: to take each clock measurement once
    std::vector<double> m_assignedSeconds;    // per processor: run time it was meant to be loaded
    std::vector<bool> m_shareWarned;
    double m_sharesTrackedUntil = 0.0;
    bool m_classicRan = false;            // a classic mix (arithmetic not self-checked) was the load
    unsigned m_workersNotStarted = 0;     // the most workers one start could not start
    unsigned m_workersRequested = 0;      // ... out of this many
    std::string m_workerStartProblem;     // the system's reason
    std::vector<std::string> m_unscheduledAtStop;  // workers given up at the stop that used no processor time
    std::string m_endReason;
    double m_limitCelsius = 0.0;
    double m_limitWatts = 0.0;
    std::string m_limitSource;
    std::string m_limitReached;  // why a limit stopped the run
    PriorityChoice m_appliedPriority = PriorityChoice::Normal;
    std::vector<LoadSpell> m_spells;  // each load and priority the run had, in the order first met
    std::size_t m_currentSpell = 0;   // the one running now
    double m_spellStart = 0.0;        // since when (its earlier time is in its seconds)
    bool m_reachedEnd = true;
    bool m_crashNoteSet = false;  // the log also takes the line of a crash outside the workers
    double m_start = 0.0;
    double m_endSeconds = 0.0;
    bool m_begun = false;
    bool m_ended = false;
};
