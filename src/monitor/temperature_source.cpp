// hwmon temperatures: found once by listing the chips, read by opening each temp*_input.

#include "monitor/temperature_source.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>

#include "monitor/sysfs_file.h"

namespace {

// Beyond these no sensor reads a real temperature: below absolute zero, or hotter than any
// thermocouple hwmon drives. Such values are error codes (e.g. INT_MAX) or garbage.
constexpr std::int64_t kLowestMillidegrees = -273150;
constexpr std::int64_t kHighestMillidegrees = 2000000;

// A critical point below this is no real one (some chips publish 0 for "none").
constexpr std::int64_t kLowestCriticalMillidegrees = 40000;

}  // namespace

bool IsProcessorChip(const std::string& device) {
    for (const char* chip : {"coretemp", "k10temp", "zenpower", "k8temp", "via_cputemp", "cpu_thermal"})
        if (device == chip) return true;
    return false;
}

TemperatureSource::TemperatureSource(const SysfsRoot& root) : m_root(root) { Discover(); }

void TemperatureSource::Discover() {
    m_sensors.clear();
    if (!m_root.IsUsable()) return;
    const std::filesystem::path classDirectory = m_root.PathOf("sys/class/hwmon");
    for (const NumberedEntry& chip : ListNumberedEntries(m_root, classDirectory, "hwmon")) {
        const std::filesystem::path chipDirectory = classDirectory / chip.name;
        const std::string device = ReadSysfsText(m_root, (chipDirectory / "name").string()).value_or(chip.name);
        for (const NumberedEntry& input : ListNumberedEntries(m_root, chipDirectory, "temp", "_input")) {
            std::string inputPath = (chipDirectory / input.name).string();
            if (!CanOpenForReading(m_root, inputPath)) continue;
            const std::string channel = "temp" + std::to_string(input.number);
            std::string label =
                ReadSysfsText(m_root, (chipDirectory / (channel + "_label")).string()).value_or(device + " " + channel);
            const auto critical = ReadSysfsInteger(m_root, (chipDirectory / (channel + "_crit")).string());
            const bool sane = critical && *critical >= kLowestCriticalMillidegrees && *critical <= kHighestMillidegrees;
            m_sensors.push_back({std::move(inputPath), chip.name + "/" + channel, std::move(label), device,
                                 sane ? static_cast<double>(*critical) / 1000.0 : std::numeric_limits<double>::quiet_NaN()});
        }
    }
}

std::vector<SensorReading> TemperatureSource::Read() {
    std::vector<SensorReading> readings;
    readings.reserve(m_sensors.size());
    for (const Sensor& sensor : m_sensors) {
        const auto millidegrees = ReadSysfsInteger(m_root, sensor.inputPath);
        if (!millidegrees || *millidegrees < kLowestMillidegrees || *millidegrees > kHighestMillidegrees) continue;
        const double celsius = static_cast<double>(*millidegrees) / 1000.0;
        readings.push_back({Name(), sensor.key, sensor.label, sensor.device, -1, Unit(), celsius});
    }
    return readings;
}

std::vector<CriticalPoint> TemperatureSource::ProcessorCriticalPoints() const {
    std::vector<CriticalPoint> points;
    for (const Sensor& sensor : m_sensors)
        if (IsProcessorChip(sensor.device) && std::isfinite(sensor.critical)) points.push_back({sensor.label, sensor.device, sensor.critical});
    return points;
}
