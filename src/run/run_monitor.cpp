#include "run/run_monitor.h"

#include <chrono>
#include <cmath>
#include <limits>

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
    m_sweeper = std::thread([this] { SweepLoop(); });
}

void RunMonitor::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_sweeper.joinable()) m_sweeper.join();
    // The run ends: throttling still under way ends with it.
    std::vector<ThrottleEpisode> ended = m_throttling.EndAll(m_lastSampleSeconds);
    m_endedThrottling.insert(m_endedThrottling.end(), std::make_move_iterator(ended.begin()), std::make_move_iterator(ended.end()));
}

void RunMonitor::SweepLoop() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        lock.unlock();
        std::vector<SensorReading> readings = m_sensors->Sweep();
        std::vector<ThrottleCount> counts = m_sensors->throttleCounts.LastCounts();
        lock.lock();
        if (m_swept.size() < kMostPendingReadings) {
            m_swept.insert(m_swept.end(), std::make_move_iterator(readings.begin()), std::make_move_iterator(readings.end()));
            m_sweptCounts.insert(m_sweptCounts.end(), counts.begin(), counts.end());
        }
        m_wake.wait_for(lock, kSweepInterval, [this] { return m_stopping; });
    }
}

void RunMonitor::Sample(double seconds) {
    std::vector<SensorReading> swept;
    std::vector<ThrottleCount> counts;
    {
        std::lock_guard lock(m_mutex);
        swept.swap(m_swept);
        counts.swap(m_sweptCounts);
    }
    const std::vector<SensorReading> clocks = m_clocks.ReadNew();
    for (const SensorReading& clock : clocks) {
        if (auto event = m_detector.AddClock(clock.processor, seconds, clock.value)) m_throttling.Add(*event);
        else if (!m_detector.ClockLow(clock.processor)) m_throttling.ClockBack(clock.processor, seconds);
    }
    for (const ThrottleCount& count : counts)
        if (auto event = m_detector.AddThrottleCount(seconds, count)) m_throttling.Add(*event, count.package, count.core);
    m_history.AppendReadings(seconds, clocks);
    if (!swept.empty()) {
        m_history.AppendReadings(seconds, swept);
        m_latest = std::move(swept);
    }
    m_lastSampleSeconds = seconds;
    std::vector<ThrottleEpisode> ended = m_throttling.TakeEnded(seconds);
    m_endedThrottling.insert(m_endedThrottling.end(), std::make_move_iterator(ended.begin()), std::make_move_iterator(ended.end()));
}

std::vector<ThrottleEpisode> RunMonitor::TakeEndedThrottling() {
    std::vector<ThrottleEpisode> ended;
    ended.swap(m_endedThrottling);
    return ended;
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
