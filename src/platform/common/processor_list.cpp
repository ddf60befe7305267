// Processor lists as sysfs writes them ("0-3,8"), read the same in both backends.

#include <charconv>
#include <cstdint>
#include <string_view>

#include "platform/cache_topology.h"

namespace {
bool ParseNumber(std::string_view text, std::uint64_t* value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return error == std::errc() && end == text.data() + text.size();
}
}  // namespace

int CountProcessorList(const std::string& list) {
    int count = 0;
    std::string_view rest = list;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const std::size_t dash = item.find('-');
        std::uint64_t first = 0, last = 0;
        if (!ParseNumber(item.substr(0, dash), &first)) return 0;
        if (dash == std::string_view::npos) {
            last = first;
        } else if (!ParseNumber(item.substr(dash + 1), &last) || last < first) {
            return 0;
        }
        if (last - first > 65536) return 0;
        count += static_cast<int>(last - first + 1);
    }
    return count;
}
