#pragma once
// Power from the powercap energy counters, sys/class/powercap/intel-rapl:*/energy_uj: watts are
// the energy used between two reads over the time between them, so the first read of a zone
// gives no value yet. Zones: "package-0" (the whole processor package), its parts "core",
// "uncore", "dram", and "psys". AMD processors expose the same intel-rapl zones on recent
// kernels. The intel-rapl-mmio zones repeat the package counters and are left out. Since 2020
// kernels let only root read energy_uj, so for other users the source is absent.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "monitor/monitor_source.h"
#include "monitor/sysfs_root.h"

class PowerSource final : public MonitorSource {
public:
    explicit PowerSource(const SysfsRoot& root);

    // Finds the zones again (the constructor does it once); every zone starts without a value.
    void Discover();

    // The average power of each zone since the previous read, the reads' times given in seconds
    // on any steady clock (tests give their own). A zone whose counter could not be read now or
    // last time, went backwards without a known range, or gives more than 2000 W (a counter reset
    // read as a wrap, or a jump) gives no value this time.
    std::vector<SensorReading> ReadAt(double seconds);

    std::string_view Name() const override { return "Power"; }
    MonitorUnit Unit() const override { return MonitorUnit::kWatts; }
    bool IsAvailable() const override { return !m_zones.empty(); }
    // ReadAt on the steady clock.
    std::vector<SensorReading> Read() override;

private:
    struct Zone {
        std::string key;    // "intel-rapl:0:1"
        std::string label;  // "package-0", "package-0 uncore"
        std::string energyPath;
        std::optional<std::uint64_t> maxEnergyRange;  // the counter wraps to 0 after this
        std::optional<std::uint64_t> lastEnergy;
        double lastSeconds = 0.0;
    };
    SysfsRoot m_root;
    std::vector<Zone> m_zones;
};
