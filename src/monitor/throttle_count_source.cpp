// Thermal throttle counters per processor.

#include "monitor/throttle_count_source.h"

#include <filesystem>

#include "monitor/sysfs_file.h"

namespace {

const char* CounterFileName(ThrottleCounter counter) {
    return counter == ThrottleCounter::kCore ? "core_throttle_count" : "package_throttle_count";
}

// A package or core number; -1 when missing, negative (the kernel's -1 for "unknown") or absurd.
int TopologyNumber(const SysfsRoot& root, const std::string& path) {
    const auto number = ReadSysfsInteger(root, path);
    return number && *number >= 0 && *number < (1 << 20) ? static_cast<int>(*number) : -1;
}

}  // namespace

ThrottleCountSource::ThrottleCountSource(const SysfsRoot& root) : m_root(root) { Discover(); }

void ThrottleCountSource::Discover() {
    m_counters.clear();
    m_lastCounts.clear();
    if (!m_root.IsUsable()) return;
    const std::filesystem::path cpuDirectory = m_root.PathOf("sys/devices/system/cpu");
    for (const NumberedEntry& cpu : ListNumberedEntries(m_root, cpuDirectory, "cpu")) {
        const std::filesystem::path directory = cpuDirectory / cpu.name / "thermal_throttle";
        const std::filesystem::path topology = cpuDirectory / cpu.name / "topology";
        const int package = TopologyNumber(m_root, (topology / "physical_package_id").string());
        const int core = TopologyNumber(m_root, (topology / "core_id").string());
        for (const ThrottleCounter counter : {ThrottleCounter::kCore, ThrottleCounter::kPackage}) {
            std::string path = (directory / CounterFileName(counter)).string();
            if (CanOpenForReading(m_root, path)) m_counters.push_back({cpu.number, counter, std::move(path), package, core});
        }
    }
}

const std::vector<ThrottleCount>& ThrottleCountSource::ReadCounts() {
    m_lastCounts.clear();
    for (const Counter& counter : m_counters) {
        const auto count = ReadSysfsUnsigned(m_root, counter.path);
        if (count) m_lastCounts.push_back({counter.processor, counter.counter, *count, counter.package, counter.core});
    }
    return m_lastCounts;
}

std::vector<SensorReading> ThrottleCountSource::Read() {
    std::vector<SensorReading> readings;
    for (const ThrottleCount& count : ReadCounts()) {
        const std::string number = std::to_string(count.processor);
        const bool core = count.counter == ThrottleCounter::kCore;
        readings.push_back({Name(), "cpu" + number + (core ? "/core" : "/package"),
                            "CPU " + number + (core ? " core" : " package"), {}, count.processor, Unit(),
                            static_cast<double>(count.count)});
    }
    return readings;
}
