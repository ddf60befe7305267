#pragma once
// One run: the settings, the workers, the per-processor results, the verdict and the log, with no
// window code. The window and the headless runner both drive one, and show its summary.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "load/load_workers.h"
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
    void ChangeStopOnError(bool stop);

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

private:
    void StartLoad();
    // Notes workers the last start could not start (requested were asked for), and whether a
    // classic mix now runs.
    void NoteWorkerStarts(unsigned requested);
    void StartMonitor();
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
    bool m_reachedEnd = true;
    bool m_crashNoteSet = false;  // the log also takes the line of a crash outside the workers
    double m_start = 0.0;
    double m_endSeconds = 0.0;
    bool m_begun = false;
    bool m_ended = false;
};
