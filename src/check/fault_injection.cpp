#include "check/fault_injection.h"

#include <charconv>

namespace {
// Large enough for any machine and any run, small enough that nothing overflows.
constexpr int kLargestValue = 1 << 20;

bool ParseNumber(std::string_view text, int* value) {
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < 0 || parsed > kLargestValue) return false;
    *value = parsed;
    return true;
}
}  // namespace

bool ParseFaultInjection(std::string_view text, FaultPlan* plan, std::string* error) {
    FaultPlan parsed;
    bool haveProcessor = false, haveAfter = false;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const std::size_t equals = item.find('=');
        const std::string_view key = item.substr(0, equals);
        const std::string_view value = equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
        int number = 0;
        bool* seen = key == "cpu" ? &haveProcessor : key == "after" ? &haveAfter : nullptr;
        if (seen == nullptr || *seen || equals == std::string_view::npos || !ParseNumber(value, &number)) {
            if (error != nullptr) {
                *error = "expected cpu=N[,after=K] with whole numbers from 0 to " + std::to_string(kLargestValue) +
                         ", each once; the part '" + std::string(item) + "' is not";
            }
            return false;
        }
        *seen = true;
        (key == "cpu" ? parsed.processor : parsed.afterChecks) = number;
    }
    if (!haveProcessor) {
        if (error != nullptr) *error = "expected cpu=N[,after=K]: cpu is missing";
        return false;
    }
    if (plan != nullptr) *plan = parsed;
    return true;
}

bool FaultInjector::ShouldFlip(int processor) {
    if (processor != m_plan.processor) return false;
    return m_checksSeen.fetch_add(1, std::memory_order_relaxed) == m_plan.afterChecks;
}
