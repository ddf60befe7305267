#include "load/placement.h"

#include <algorithm>
#include <climits>
#include <map>
#include <utility>

std::vector<int> SpreadOrder(const std::vector<ProcessorPlace>& places) {
    // Cores by (package, core); an unknown core is keyed apart by its processor so it stands alone.
    std::map<std::pair<int, int>, std::vector<int>> cores;
    for (const ProcessorPlace& place : places) {
        const std::pair<int, int> key =
            place.core >= 0 ? std::pair{place.package, place.core} : std::pair{INT_MIN, place.processor};
        cores[key].push_back(place.processor);
    }
    for (auto& [key, siblings] : cores) std::sort(siblings.begin(), siblings.end());
    std::vector<int> order;
    for (std::size_t sibling = 0; order.size() < places.size(); ++sibling) {
        for (const auto& [key, siblings] : cores)
            if (sibling < siblings.size()) order.push_back(siblings[sibling]);
    }
    return order;
}

unsigned CountPhysicalCores(const std::vector<ProcessorPlace>& places) {
    std::vector<std::pair<int, int>> cores;
    for (const ProcessorPlace& place : places)
        cores.push_back(place.core >= 0 ? std::pair{place.package, place.core} : std::pair{INT_MIN, place.processor});
    std::sort(cores.begin(), cores.end());
    return static_cast<unsigned>(std::unique(cores.begin(), cores.end()) - cores.begin());
}
