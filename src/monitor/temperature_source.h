#pragma once
// Temperatures from the hardware monitoring class, sys/class/hwmon/hwmon*/temp*_input
// (millidegrees Celsius): coretemp, k10temp, zenpower, acpitz, nvme and any other chip.

#include <string>
#include <vector>

#include "monitor/monitor_source.h"
#include "monitor/sysfs_root.h"

// A sensor's own critical point (temp*_crit), where its chip publishes one.
struct CriticalPoint {
    std::string label;   // the sensor's label, as in its readings
    std::string device;  // its chip's name
    double celsius = 0.0;
};

// Whether a temperature comes from the processor itself (a package or a core) rather than a
// disk, a board or a graphics chip: the chips of the processor makers' hwmon drivers.
bool IsProcessorChip(const std::string& device);

class TemperatureSource final : public MonitorSource {
public:
    explicit TemperatureSource(const SysfsRoot& root);

    // Finds the sensors again (the constructor does it once); for chips that come and go.
    void Discover();

    std::string_view Name() const override { return "Temperature"; }
    MonitorUnit Unit() const override { return MonitorUnit::kCelsius; }
    bool IsAvailable() const override { return !m_sensors.empty(); }
    std::vector<SensorReading> Read() override;
    // The processor sensors' critical points, read when the sensors were found.
    std::vector<CriticalPoint> ProcessorCriticalPoints() const;

private:
    struct Sensor {
        std::string inputPath;
        std::string key;     // "hwmon3/temp2"
        std::string label;   // temp2_label, or "<chip> temp2"
        std::string device;  // the chip's name file, or "hwmon3"
        double critical;     // temp2_crit in degrees; NaN when the chip has none
    };
    SysfsRoot m_root;
    std::vector<Sensor> m_sensors;
};
