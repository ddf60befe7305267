#pragma once
// A run's monitor: the sysfs sensors swept once a second on a thread of their own (hwmon chips on
// slow buses can take milliseconds, a stuck one forever: see monitor/sensor_sweeper.h), the effective clock the workers measure at their checks, the
// history of both over the whole run, and throttling seen in them. The run's own thread takes the
// sweeps into the history once a second; the window, the status lines and the report read it.

#include <string>
#include <vector>

#include "monitor/effective_clock_source.h"
#include "monitor/sensor_sweeper.h"
#include "monitor/sysfs_root.h"
#include "monitor/throttle_detector.h"
#include "monitor/throttle_episodes.h"
#include "monitor/time_series_store.h"
#include "run/run_summary.h"

// The latest values worth a line of their own; NaN when the machine has no such sensor.
struct MonitorHeadline {
    double hottestCelsius;
    std::string hottestLabel;  // "k10temp Tctl"
    double packageWatts;       // the package zones of the newest sweep summed
};

// The effective clock over the whole run, from the history's clock samples (one per loaded
// processor and second: the latest trusted probe of its workers): the lowest sample, the mean of
// every sample and the highest. The same samples make the Monitor's lines, its table's min, mean
// and max per processor and the CSV, so every clock figure of the run agrees with them.
SeriesSummary EffectiveClockFigures(const TimeSeriesStore& history);

class RunMonitor {
public:
    // Room for the clocks of processors 0 .. processorCount - 1; sensors below root, found on the
    // sweeper's thread (waited for a bounded time: see monitor/sensor_sweeper.h).
    RunMonitor(int processorCount, const SysfsRoot& root, SensorSweeper::Settings sweeps = {});
    ~RunMonitor();
    RunMonitor(const RunMonitor&) = delete;
    RunMonitor& operator=(const RunMonitor&) = delete;

    // Starts and stops the sweeps, once (Stop waits for a sweep under way, never for a stuck read).
    void Start();
    void Stop();

    // From any thread: the latest effective clock of a processor, or that it is no longer loaded.
    void PublishClock(int processor, double hertz) { m_clocks.Publish(processor, hertz); }
    void WithdrawClock(int processor) { m_clocks.Withdraw(processor); }

    // On the run's thread, about once a second (seconds: run time): takes the sweeps and the clocks
    // measured since the last call into the history, and the throttling seen in them into episodes.
    void Sample(double seconds);
    // The throttling episodes that ended since the last call (Stop ends the open ones), each once.
    std::vector<ThrottleEpisode> TakeEndedThrottling();
    // What the user should hear of the sensors since the last call (one given up on), once.
    std::vector<std::string> TakeNotes();

    const TimeSeriesStore& History() const { return m_history; }
    const ThrottleEpisodes& Throttling() const { return m_throttling; }
    MonitorHeadline Headline() const;
    // Whether any sysfs sensor is there at all, and if not, why (the root could not be used, or
    // finding them has not come back yet).
    bool HasSensors() const { return m_sweeper.Found().hasSensors; }
    std::string SensorProblem() const;
    // The processor sensors' own critical points (temp*_crit), as found.
    std::vector<CriticalPoint> CriticalPoints() const { return m_sweeper.Found().criticalPoints; }
    // The last sweep's readings, at any moment (at most one sweep interval old): for limits.
    std::vector<SensorReading> LatestReadings() const { return m_sweeper.Latest(); }

private:
    EffectiveClockSource m_clocks;
    SensorSweeper m_sweeper;
    std::vector<std::string> m_notes;

    TimeSeriesStore m_history;
    ThrottleDetector m_detector;
    ThrottleEpisodes m_throttling;
    std::vector<ThrottleEpisode> m_endedThrottling;  // ended, not yet taken
    double m_lastSampleSeconds = 0.0;
    std::vector<SensorReading> m_latest;  // the latest sweep's readings
};
