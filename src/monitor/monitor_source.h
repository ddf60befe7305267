#pragma once
// The one interface every monitor source shares (like s-tui's Source): is it available, read now,
// its name and its unit. Readings are values with units; the window, the status lines and the
// report format the same records. A sensor that is missing or gives no sane value is left out of
// a read, never given as 0.

#include <string>
#include <string_view>
#include <vector>

enum class MonitorUnit { kCelsius, kHertz, kWatts, kCount };

// For people: "°C", "Hz", "W", "" (a count has none).
std::string_view UnitSymbol(MonitorUnit unit);
// For files and machines, plain ASCII and stable: "celsius", "hertz", "watts", "count".
std::string_view UnitKey(MonitorUnit unit);

struct SensorReading {
    std::string_view source;  // the source's Name(), a literal that lives as long as the program
    std::string key;          // stable across reads within the source: "hwmon2/temp3", "cpu5", "intel-rapl:0"
    std::string label;        // for people: "Package id 0", "nvme temp1", "CPU 5", "package-0"
    std::string device;       // the chip or zone the sensor belongs to ("coretemp", "k10temp"); may be empty
    int processor = -1;       // the logical processor it describes, -1 when it is not per processor
    MonitorUnit unit = MonitorUnit::kCount;
    double value = 0.0;       // in unit: degrees Celsius, hertz, watts or a count
};

class MonitorSource {
public:
    virtual ~MonitorSource() = default;

    // "Temperature", "Frequency", "Throttle count", "Power", "Effective clock".
    virtual std::string_view Name() const = 0;
    virtual MonitorUnit Unit() const = 0;
    // False when the machine has no sensor of this kind (or none the process may read).
    virtual bool IsAvailable() const = 0;
    // The sensors' values now; a sensor that cannot be read now is absent from the result.
    virtual std::vector<SensorReading> Read() = 0;
};
