#pragma once
// The clock each processor was last asked to run at, as cpufreq reports it:
// sys/devices/system/cpu/cpu*/cpufreq/scaling_cur_freq (kHz). It is the governor's view, not the
// clock measured on a loaded core (that is EffectiveClockSource).

#include <string>
#include <vector>

#include "monitor/monitor_source.h"
#include "monitor/sysfs_root.h"

class FrequencySource final : public MonitorSource {
public:
    explicit FrequencySource(const SysfsRoot& root);

    // Finds the processors again (the constructor does it once); for processors brought online.
    void Discover();

    std::string_view Name() const override { return "Frequency"; }
    MonitorUnit Unit() const override { return MonitorUnit::kHertz; }
    bool IsAvailable() const override { return !m_processors.empty(); }
    std::vector<SensorReading> Read() override;

private:
    struct Processor {
        int number;
        std::string path;
    };
    SysfsRoot m_root;
    std::vector<Processor> m_processors;
};
