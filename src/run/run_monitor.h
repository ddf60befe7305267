#pragma once
// A run's monitor: the sysfs sensors swept once a second on a thread of their own (hwmon chips on
// slow buses can take milliseconds), the effective clock the workers measure at their checks, the
// history of both over the whole run, and throttling seen in them. The run's own thread takes the
// sweeps into the history once a second; the window, the status lines and the report read it.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "monitor/effective_clock_source.h"
#include "monitor/sysfs_root.h"
#include "monitor/sysfs_sensors.h"
#include "monitor/throttle_detector.h"
#include "monitor/time_series_store.h"

// The latest values worth a line of their own; NaN when the machine has no such sensor.
struct MonitorHeadline {
    double hottestCelsius;
    std::string hottestLabel;  // "k10temp Tctl"
    double packageWatts;       // the package zones of the newest sweep summed
};

class RunMonitor {
public:
    // Room for the clocks of processors 0 .. processorCount - 1; sensors below root.
    RunMonitor(int processorCount, const SysfsRoot& root);
    ~RunMonitor();
    RunMonitor(const RunMonitor&) = delete;
    RunMonitor& operator=(const RunMonitor&) = delete;

    // Starts and stops the sweeps (Stop waits for a sweep under way; both may be repeated).
    void Start();
    void Stop();

    // From any thread: the latest effective clock of a processor, or that it is no longer loaded.
    void PublishClock(int processor, double hertz) { m_clocks.Publish(processor, hertz); }
    void WithdrawClock(int processor) { m_clocks.Withdraw(processor); }

    // On the run's thread, about once a second (seconds: run time): takes the sweeps and the clocks
    // measured since the last call into the history, and gives the throttling seen in them.
    std::vector<ThrottleEvent> Sample(double seconds);

    const TimeSeriesStore& History() const { return m_history; }
    const std::vector<ThrottleEvent>& ThrottleEvents() const { return m_throttling; }
    MonitorHeadline Headline() const;
    // Whether any sysfs sensor is there at all, and if not, why the root could not be used.
    bool HasSensors() const { return m_hasSensors; }
    const std::string& SensorProblem() const { return m_sensorProblem; }

private:
    void SweepLoop();

    EffectiveClockSource m_clocks;
    std::unique_ptr<SysfsSensors> m_sensors;
    bool m_hasSensors = false;
    std::string m_sensorProblem;

    std::mutex m_mutex;  // guards what the sweep thread hands over
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::vector<SensorReading> m_swept;          // the sweeps not yet sampled, in order
    std::size_t m_newestSweepAt = 0;             // where the newest of them starts in m_swept
    std::vector<ThrottleCount> m_sweptCounts;
    std::thread m_sweeper;

    TimeSeriesStore m_history;
    ThrottleDetector m_detector;
    std::vector<ThrottleEvent> m_throttling;
    std::vector<SensorReading> m_latest;  // the newest sweep's readings
};
