// Powercap energy counters turned into watts.

#include "monitor/power_source.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "monitor/sysfs_file.h"

namespace {

constexpr std::string_view kZonePrefix = "intel-rapl:";

// No processor package, its memory or the platform zone draws this much: a larger average is a
// counter that was reset or jumped, never power. A counter going down counts as one wrap only when
// the wrapped difference stays below it.
constexpr double kMostWatts = 2000.0;

// "intel-rapl:0:1" -> {0, 1}; nothing for a name that is not the prefix and numbers joined by ':'.
std::optional<std::vector<int>> ZonePath(std::string_view name) {
    if (!name.starts_with(kZonePrefix)) return std::nullopt;
    std::vector<int> numbers;
    std::string_view rest = name.substr(kZonePrefix.size());
    while (true) {
        int number = 0;
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
        if (error != std::errc() || number < 0) return std::nullopt;
        numbers.push_back(number);
        rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
        if (rest.empty()) return numbers;
        if (rest.front() != ':') return std::nullopt;
        rest.remove_prefix(1);
    }
}

}  // namespace

PowerSource::PowerSource(const SysfsRoot& root) : m_root(root) { Discover(); }

void PowerSource::Discover() {
    m_zones.clear();
    if (!m_root.IsUsable()) return;
    const std::filesystem::path classDirectory = m_root.PathOf("sys/class/powercap");
    std::vector<std::pair<std::vector<int>, std::string>> found;
    std::error_code error;
    std::filesystem::directory_iterator it(classDirectory, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        if (auto path = ZonePath(name)) found.emplace_back(std::move(*path), std::move(name));
    }
    // Parents before their parts, "intel-rapl:10" after "intel-rapl:2".
    std::sort(found.begin(), found.end());
    for (const auto& [path, name] : found) {
        const std::filesystem::path directory = classDirectory / name;
        std::string energyPath = (directory / "energy_uj").string();
        if (!CanOpenForReading(energyPath)) continue;
        std::string label = ReadSysfsText((directory / "name").string()).value_or(name);
        if (path.size() > 1) {
            // A part's name ("core") says nothing of its package; put the parent's name first.
            const std::string parent = name.substr(0, name.rfind(':'));
            label = ReadSysfsText((classDirectory / parent / "name").string()).value_or(parent) + " " + label;
        }
        auto range = ReadSysfsUnsigned((directory / "max_energy_range_uj").string());
        if (range == 0u) range.reset();
        m_zones.push_back({name, std::move(label), std::move(energyPath), range, std::nullopt, 0.0});
    }
}

std::vector<SensorReading> PowerSource::ReadAt(double seconds) {
    std::vector<SensorReading> readings;
    for (Zone& zone : m_zones) {
        auto energy = ReadSysfsUnsigned(zone.energyPath);
        if (energy && zone.maxEnergyRange && *energy > *zone.maxEnergyRange) energy.reset();
        if (!energy) {
            zone.lastEnergy.reset();
            continue;
        }
        const double elapsed = seconds - zone.lastSeconds;
        if (zone.lastEnergy && elapsed <= 0.0) continue;  // no time has passed: keep the earlier start
        std::optional<std::uint64_t> used;
        if (zone.lastEnergy && *energy >= *zone.lastEnergy) {
            used = *energy - *zone.lastEnergy;
        } else if (zone.lastEnergy && zone.maxEnergyRange) {
            used = *zone.maxEnergyRange - *zone.lastEnergy + *energy;  // wrapped once, if plausible below
        }
        zone.lastEnergy = energy;
        zone.lastSeconds = seconds;
        if (!used) continue;
        const double watts = static_cast<double>(*used) / 1e6 / elapsed;
        // A reset or a jump: no value now, the count starts again from here.
        if (!(watts <= kMostWatts)) continue;
        readings.push_back({Name(), zone.key, zone.label, zone.key, -1, Unit(), watts});
    }
    return readings;
}

std::vector<SensorReading> PowerSource::Read() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return ReadAt(std::chrono::duration<double>(now).count());
}
