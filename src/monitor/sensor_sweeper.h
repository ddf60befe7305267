#pragma once
// The sysfs sensors found and swept on a thread of their own, so that no sensor file can stop the
// thread that owns the run: finding the sensors (which reads their names and labels) happens on
// that thread too, and whoever owns the sweeper only ever waits a bounded time. A read that has
// not come back after readLimit (a driver waiting on a stuck bus) is given up: its file is left
// out with one note, the stuck thread is left behind, and a fresh thread finds the sensors again
// without it. After a few such threads the sensors are given up altogether.

#include <chrono>
#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "monitor/monitor_source.h"
#include "monitor/sensor_read_watch.h"
#include "monitor/sysfs_root.h"
#include "monitor/temperature_source.h"
#include "monitor/throttle_count_source.h"

class SensorSweeper {
public:
    struct Settings {
        std::chrono::milliseconds interval{1000};       // between sweeps
        std::chrono::milliseconds readLimit{3000};      // a read taking longer is given up
        std::chrono::milliseconds discoveryWait{2000};  // how long the constructor waits for the sensors
        std::size_t mostStuckThreads = 4;               // threads left behind before sensors are given up
    };
    // What finding the sensors gave: whether it is over, whether any sensor is there, and if not, why.
    struct Discovery {
        bool done = false;
        bool hasSensors = false;
        std::string problem;
        std::vector<CriticalPoint> criticalPoints;  // the processor sensors' own
    };
    // The sweeps since the last Take, and notes for the user (a sensor given up on).
    struct Sweeps {
        std::vector<SensorReading> readings;  // the sweeps in order
        std::size_t newestAt = 0;              // where the newest sweep starts in readings
        std::vector<ThrottleCount> counts;
        std::vector<std::string> notes;
    };

    // Starts finding the sensors below root at once and waits at most discoveryWait for it.
    explicit SensorSweeper(const SysfsRoot& root) : SensorSweeper(root, Settings{}) {}
    SensorSweeper(const SysfsRoot& root, Settings settings);
    ~SensorSweeper();
    SensorSweeper(const SensorSweeper&) = delete;
    SensorSweeper& operator=(const SensorSweeper&) = delete;

    // Sweeps begin once the sensors are found, and end for good: Stop waits for a sweep under way,
    // but never longer than a read may take; a stuck thread is left behind. Repeated calls, and a
    // Start after Stop, do nothing.
    void Start();
    void Stop();

    Discovery Found() const;
    // Takes the sweeps so far; gives up on a read that has been under way for longer than readLimit.
    Sweeps Take();
    // The last sweep's readings, whether taken or not (for limits, checked more often than sweeps
    // are taken).
    std::vector<SensorReading> Latest() const;

private:
    struct Shared;
    static void SweepThread(std::shared_ptr<Shared> shared, unsigned generation, std::shared_ptr<SensorReadWatch> watch,
                            SysfsRoot root, std::chrono::milliseconds interval);
    void Launch(std::set<std::string> leftOut);
    void GiveUpStuckRead();

    SysfsRoot m_root;
    Settings m_settings;
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
    std::size_t m_stuckThreads = 0;
};
