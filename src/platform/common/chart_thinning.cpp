#include "platform/common/chart_thinning.h"

#include <algorithm>
#include <cmath>

std::vector<std::size_t> ThinChartLine(const ChartLine& line, std::size_t most, double* low, double* high) {
    std::vector<std::size_t> kept;
    const std::size_t count = std::min(line.minutes.size(), line.values.size());
    const std::size_t stretch = count <= most ? 1 : (count * 2 + most - 1) / most;
    kept.reserve(std::min(count, most + 2));
    for (std::size_t first = 0; first < count; first += stretch) {
        const std::size_t end = std::min(count, first + stretch);
        std::size_t lowest = end, highest = end;
        for (std::size_t i = first; i < end; ++i) {
            if (!std::isfinite(line.values[i])) continue;
            if (lowest == end || line.values[i] < line.values[lowest]) lowest = i;
            if (highest == end || line.values[i] > line.values[highest]) highest = i;
        }
        if (lowest == end) continue;
        kept.push_back(std::min(lowest, highest));
        if (lowest != highest) kept.push_back(std::max(lowest, highest));
        *low = std::min(*low, line.values[lowest]);
        *high = std::max(*high, line.values[highest]);
    }
    return kept;
}
