// Powercap energy counters turned into watts.

#include "monitor/power_source.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "monitor/energy_counter.h"
#include "monitor/sysfs_file.h"
#include "monitor/sysfs_parse.h"

PowerSource::PowerSource(const SysfsRoot& root) : m_root(root) { Discover(); }

void PowerSource::Discover() {
    m_zones.clear();
    if (!m_root.IsUsable()) return;
    const std::filesystem::path classDirectory = m_root.PathOf("sys/class/powercap");
    std::vector<std::pair<std::vector<int>, std::string>> found;
    for (std::string& name : m_root.ListDirectory(classDirectory))
        if (auto path = ParsePowercapZone(name)) found.emplace_back(std::move(*path), std::move(name));
    // Parents before their parts, "intel-rapl:10" after "intel-rapl:2".
    std::sort(found.begin(), found.end());
    for (const auto& [path, name] : found) {
        const std::filesystem::path directory = classDirectory / name;
        std::string energyPath = (directory / "energy_uj").string();
        if (!CanOpenForReading(m_root, energyPath)) continue;
        std::string label = ReadSysfsText(m_root, (directory / "name").string()).value_or(name);
        if (path.size() > 1) {
            // A part's name ("core") says nothing of its package; put the parent's name first.
            const std::string parent = name.substr(0, name.rfind(':'));
            label = ReadSysfsText(m_root, (classDirectory / parent / "name").string()).value_or(parent) + " " + label;
        }
        auto range = ReadSysfsUnsigned(m_root, (directory / "max_energy_range_uj").string());
        if (range == 0u) range.reset();
        m_zones.push_back({name, std::move(label), std::move(energyPath), range, std::nullopt, 0.0});
    }
}

std::vector<SensorReading> PowerSource::ReadAt(double seconds) {
    std::vector<SensorReading> readings;
    for (Zone& zone : m_zones) {
        auto energy = ReadSysfsUnsigned(m_root, zone.energyPath);
        if (energy && zone.maxEnergyRange && *energy > *zone.maxEnergyRange) energy.reset();
        if (!energy) {
            zone.lastEnergy.reset();
            continue;
        }
        const double elapsed = seconds - zone.lastSeconds;
        if (zone.lastEnergy && elapsed <= 0.0) continue;  // no time has passed: keep the earlier start
        // A reset or a jump gives no value now; the count starts again from here either way.
        const std::optional<double> watts =
            zone.lastEnergy ? AverageWatts(*zone.lastEnergy, *energy, zone.maxEnergyRange, elapsed) : std::nullopt;
        zone.lastEnergy = energy;
        zone.lastSeconds = seconds;
        if (!watts) continue;
        readings.push_back({Name(), zone.key, zone.label, zone.key, -1, Unit(), *watts});
    }
    return readings;
}

std::vector<SensorReading> PowerSource::Read() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return ReadAt(std::chrono::duration<double>(now).count());
}
