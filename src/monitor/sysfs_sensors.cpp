// One sweep over the sysfs sources.

#include "monitor/sysfs_sensors.h"

SysfsSensors::SysfsSensors(const SysfsRoot& root)
    : temperatures(root), frequencies(root), power(root), throttleCounts(root), m_root(root) {}

std::vector<SensorReading> SysfsSensors::Sweep() {
    std::vector<SensorReading> readings;
    for (MonitorSource* source : Sources()) {
        if (!source->IsAvailable()) continue;
        std::vector<SensorReading> part = source->Read();
        readings.insert(readings.end(), std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
    }
    return readings;
}
