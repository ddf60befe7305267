#include "run/run_monitor.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

namespace {
// The clock series' keys begin with the source's name: "Effective clock/cpu3".
constexpr std::string_view kEffectiveClockSource = "Effective clock/";
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

bool IsPackageZone(const SensorReading& reading) {
    return reading.unit == MonitorUnit::kWatts && reading.label.rfind("package-", 0) == 0 &&
           reading.label.find(' ') == std::string::npos;
}
}  // namespace

SeriesSummary EffectiveClockFigures(const TimeSeriesStore& history) {
    SeriesSummary figures;
    double sum = 0.0;
    for (TimeSeriesStore::SeriesId id = 0; id < history.SeriesCount(); ++id) {
        if (history.Info(id).key.rfind(kEffectiveClockSource, 0) != 0) continue;
        const SeriesSummary series = history.Summary(id);
        if (series.samples == 0) continue;
        figures.min = figures.samples == 0 ? series.min : std::min(figures.min, series.min);
        figures.max = std::max(figures.max, series.max);
        sum += series.mean * static_cast<double>(series.samples);
        figures.samples += series.samples;
    }
    if (figures.samples > 0) figures.mean = sum / static_cast<double>(figures.samples);
    return figures;
}

RunMonitor::RunMonitor(int processorCount, const SysfsRoot& root, SensorSweeper::Settings sweeps)
    : m_clocks(processorCount), m_sweeper(root, sweeps) {}

RunMonitor::~RunMonitor() { Stop(); }

void RunMonitor::Start() { m_sweeper.Start(); }

void RunMonitor::Stop() {
    m_sweeper.Stop();
    // The run ends: throttling still under way ends with it.
    std::vector<ThrottleEpisode> ended = m_throttling.EndAll(m_lastSampleSeconds);
    m_endedThrottling.insert(m_endedThrottling.end(), std::make_move_iterator(ended.begin()), std::make_move_iterator(ended.end()));
}

std::string RunMonitor::SensorProblem() const {
    const SensorSweeper::Discovery found = m_sweeper.Found();
    if (found.hasSensors) return {};
    return found.done ? found.problem : "the sensors did not answer while they were being found";
}

void RunMonitor::Sample(double seconds) {
    SensorSweeper::Sweeps swept = m_sweeper.Take();
    m_notes.insert(m_notes.end(), std::make_move_iterator(swept.notes.begin()), std::make_move_iterator(swept.notes.end()));
    const std::vector<SensorReading> clocks = m_clocks.ReadNew();
    for (const SensorReading& clock : clocks) {
        if (auto event = m_detector.AddClock(clock.processor, seconds, clock.value)) m_throttling.Add(*event);
        else if (!m_detector.ClockLow(clock.processor)) m_throttling.ClockBack(clock.processor, seconds);
    }
    for (const ThrottleCount& count : swept.counts)
        if (auto event = m_detector.AddThrottleCount(seconds, count)) m_throttling.Add(*event, count.package, count.core);
    m_history.AppendReadings(seconds, clocks);
    if (!swept.readings.empty()) {
        m_history.AppendReadings(seconds, swept.readings);
        // The headline is the newest sweep alone: two sweeps taken in at once must not add up.
        const std::size_t newest = std::min(swept.newestAt, swept.readings.size());
        m_latest.assign(std::make_move_iterator(swept.readings.begin() + static_cast<std::ptrdiff_t>(newest)),
                        std::make_move_iterator(swept.readings.end()));
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

std::vector<std::string> RunMonitor::TakeNotes() {
    std::vector<std::string> notes;
    notes.swap(m_notes);
    return notes;
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
