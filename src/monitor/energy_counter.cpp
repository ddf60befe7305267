// Energy counter differences to watts, wraps and resets told apart.

#include "monitor/energy_counter.h"

#include <cmath>
#include <cstdint>

std::optional<double> AverageWatts(std::uint64_t last, std::uint64_t now, std::optional<std::uint64_t> range,
                                   double elapsedSeconds) {
    if (!(elapsedSeconds > 0.0) || !std::isfinite(elapsedSeconds)) return std::nullopt;
    std::uint64_t used = 0;
    if (now >= last) {
        used = now - last;
    } else if (range && *range >= last && now <= UINT64_MAX - (*range - last)) {
        used = *range - last + now;  // wrapped once, if the power below says so
    } else {
        return std::nullopt;
    }
    const double watts = static_cast<double>(used) / 1e6 / elapsedSeconds;
    if (!(watts <= kMostWatts)) return std::nullopt;
    return watts;
}
