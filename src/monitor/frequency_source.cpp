// cpufreq's current frequency per processor.

#include "monitor/frequency_source.h"

#include <cstdint>
#include <filesystem>

#include "monitor/sysfs_file.h"

namespace {

// 100 GHz in kHz: no processor comes near it, so a larger value is garbage.
constexpr std::int64_t kHighestKilohertz = 100'000'000;

}  // namespace

FrequencySource::FrequencySource(const SysfsRoot& root) : m_root(root) { Discover(); }

void FrequencySource::Discover() {
    m_processors.clear();
    if (!m_root.IsUsable()) return;
    const std::filesystem::path cpuDirectory = m_root.PathOf("sys/devices/system/cpu");
    for (const NumberedEntry& cpu : ListNumberedEntries(m_root, cpuDirectory, "cpu")) {
        std::string path = (cpuDirectory / cpu.name / "cpufreq" / "scaling_cur_freq").string();
        if (CanOpenForReading(m_root, path)) m_processors.push_back({cpu.number, std::move(path)});
    }
}

std::vector<SensorReading> FrequencySource::Read() {
    std::vector<SensorReading> readings;
    readings.reserve(m_processors.size());
    for (const Processor& processor : m_processors) {
        const auto kilohertz = ReadSysfsInteger(m_root, processor.path);
        if (!kilohertz || *kilohertz <= 0 || *kilohertz > kHighestKilohertz) continue;
        const std::string name = "cpu" + std::to_string(processor.number);
        readings.push_back({Name(), name, "CPU " + std::to_string(processor.number), {}, processor.number, Unit(),
                            static_cast<double>(*kilohertz) * 1000.0});
    }
    return readings;
}
