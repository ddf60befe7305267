#include "run/run_monitor.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <system_error>

namespace {
constexpr auto kSweepInterval = std::chrono::seconds(1);
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
// Sweeps taken in at most this many (a window that did not sample for minutes loses the oldest).
constexpr std::size_t kMostPendingReadings = 100000;

bool IsPackageZone(const SensorReading& reading) {
    return reading.unit == MonitorUnit::kWatts && reading.label.rfind("package-", 0) == 0 &&
           reading.label.find(' ') == std::string::npos;
}
}  // namespace

RunMonitor::RunMonitor(int processorCount, const SysfsRoot& root)
    : m_clocks(processorCount), m_sensors(std::make_unique<SysfsSensors>(root)) {
    m_sensorProblem = m_sensors->RootProblem();
    for (MonitorSource* source : m_sensors->Sources()) m_hasSensors = m_hasSensors || source->IsAvailable();
    if (!m_hasSensors && m_sensorProblem.empty()) m_sensorProblem = "this machine shows no temperature, frequency or power sensors";
}

RunMonitor::~RunMonitor() { Stop(); }

void RunMonitor::Start() {
    if (m_sweeper.joinable() || !m_hasSensors) return;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
    }
    try {
        m_sweeper = std::thread([this] { SweepLoop(); });
    } catch (const std::system_error& error) {
        // The system refused the thread (a process limit): the run goes on without sensors.
        m_hasSensors = false;
        m_sensorProblem = std::string("the sensor thread could not start: ") + error.what();
    }
}

void RunMonitor::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_sweeper.joinable()) m_sweeper.join();
}

void RunMonitor::SweepLoop() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        lock.unlock();
        std::vector<SensorReading> readings = m_sensors->Sweep();
        std::vector<ThrottleCount> counts = m_sensors->throttleCounts.LastCounts();
        lock.lock();
        if (m_swept.size() < kMostPendingReadings) {
            m_newestSweepAt = m_swept.size();
            m_swept.insert(m_swept.end(), std::make_move_iterator(readings.begin()), std::make_move_iterator(readings.end()));
            m_sweptCounts.insert(m_sweptCounts.end(), counts.begin(), counts.end());
        }
        m_wake.wait_for(lock, kSweepInterval, [this] { return m_stopping; });
    }
}

std::vector<ThrottleEvent> RunMonitor::Sample(double seconds) {
    std::vector<SensorReading> swept;
    std::vector<ThrottleCount> counts;
    std::size_t newestSweepAt = 0;
    {
        std::lock_guard lock(m_mutex);
        swept.swap(m_swept);
        counts.swap(m_sweptCounts);
        newestSweepAt = std::min(m_newestSweepAt, swept.size());
        m_newestSweepAt = 0;
    }
    std::vector<ThrottleEvent> events;
    const std::vector<SensorReading> clocks = m_clocks.ReadNew();
    for (const SensorReading& clock : clocks)
        if (auto event = m_detector.AddClock(clock.processor, seconds, clock.value)) events.push_back(*event);
    for (const ThrottleCount& count : counts)
        if (auto event = m_detector.AddThrottleCount(seconds, count)) events.push_back(*event);
    m_history.AppendReadings(seconds, clocks);
    if (!swept.empty()) {
        m_history.AppendReadings(seconds, swept);
        // The headline is the newest sweep alone: two sweeps taken in at once must not add up.
        m_latest.assign(std::make_move_iterator(swept.begin() + static_cast<std::ptrdiff_t>(newestSweepAt)),
                        std::make_move_iterator(swept.end()));
    }
    m_throttling.insert(m_throttling.end(), events.begin(), events.end());
    return events;
}

MonitorHeadline RunMonitor::Headline() const {
    MonitorHeadline headline{kNone, {}, kNone};
    for (const SensorReading& reading : m_latest) {
        if (reading.unit == MonitorUnit::kCelsius && !(reading.value <= headline.hottestCelsius)) {
            headline.hottestCelsius = reading.value;
            headline.hottestLabel = reading.device.empty() || reading.label.rfind(reading.device, 0) == 0
                                        ? reading.label
                                        : reading.device + " " + reading.label;
        }
        if (IsPackageZone(reading)) headline.packageWatts = (std::isnan(headline.packageWatts) ? 0.0 : headline.packageWatts) + reading.value;
    }
    return headline;
}
