#pragma once
// Every sysfs source over one root, found once: what a monitor sweep reads each second. Reading
// hwmon chips on slow buses can take milliseconds, so sweep off the window's thread.

#include <array>
#include <vector>

#include "monitor/frequency_source.h"
#include "monitor/power_source.h"
#include "monitor/sysfs_root.h"
#include "monitor/temperature_source.h"
#include "monitor/throttle_count_source.h"

class SysfsSensors {
public:
    explicit SysfsSensors(const SysfsRoot& root);

    // The root's problem ("FERROX_SYSFS_ROOT: ... does not exist ..."), empty when there is none.
    const std::string& RootProblem() const { return m_root.Problem(); }

    // In display order: temperature, frequency, power, throttle counts.
    std::array<MonitorSource*, 4> Sources() { return {&temperatures, &frequencies, &power, &throttleCounts}; }
    // One read of every available source, all readings in one list.
    std::vector<SensorReading> Sweep();

    TemperatureSource temperatures;
    FrequencySource frequencies;
    PowerSource power;
    ThrottleCountSource throttleCounts;

private:
    SysfsRoot m_root;
};
