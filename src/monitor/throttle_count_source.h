#pragma once
// The kernel's thermal throttling counters per processor:
// sys/devices/system/cpu/cpu*/thermal_throttle/{core,package}_throttle_count. Intel processors
// have them; a rise means the processor slowed itself to cool down. The package counter is the
// same for every processor of a package, the core counter for the processors of a core: each count
// carries the package and core from cpu*/topology so that they can be told apart.

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/monitor_source.h"
#include "monitor/sysfs_root.h"

enum class ThrottleCounter { kCore, kPackage };

struct ThrottleCount {
    int processor;
    ThrottleCounter counter;
    std::uint64_t count;
    int package = -1;  // from the processor's topology folder; -1 when it does not say
    int core = -1;
};

class ThrottleCountSource final : public MonitorSource {
public:
    explicit ThrottleCountSource(const SysfsRoot& root);

    // Finds the counters again (the constructor does it once).
    void Discover();

    // The counters now, as numbers for ThrottleDetector; unreadable ones are absent.
    const std::vector<ThrottleCount>& ReadCounts();
    // What the latest ReadCounts or Read found, so a sweep's counts reach the detector without a
    // second read.
    const std::vector<ThrottleCount>& LastCounts() const { return m_lastCounts; }

    std::string_view Name() const override { return "Throttle count"; }
    MonitorUnit Unit() const override { return MonitorUnit::kCount; }
    bool IsAvailable() const override { return !m_counters.empty(); }
    // The same counters as readings: keys "cpu3/core" and "cpu3/package".
    std::vector<SensorReading> Read() override;

private:
    struct Counter {
        int processor;
        ThrottleCounter counter;
        std::string path;
        int package;
        int core;
    };
    SysfsRoot m_root;
    std::vector<Counter> m_counters;
    std::vector<ThrottleCount> m_lastCounts;
};
