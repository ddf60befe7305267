// Unit names for the monitor's readings.

#include "monitor/monitor_source.h"

std::string_view UnitSymbol(MonitorUnit unit) {
    switch (unit) {
        case MonitorUnit::kCelsius: return "\u00B0C";
        case MonitorUnit::kHertz: return "Hz";
        case MonitorUnit::kWatts: return "W";
        case MonitorUnit::kCount: return "";
    }
    return "";
}

std::string_view UnitKey(MonitorUnit unit) {
    switch (unit) {
        case MonitorUnit::kCelsius: return "celsius";
        case MonitorUnit::kHertz: return "hertz";
        case MonitorUnit::kWatts: return "watts";
        case MonitorUnit::kCount: return "count";
    }
    return "count";
}
