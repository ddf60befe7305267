#include "check/fault_injection.h"

#include <charconv>

namespace {
// Large enough for any machine and any run, small enough that nothing overflows.
constexpr int kLargestValue = 1 << 20;

constexpr const char* kKindKeys[] = {"check", "kernel", "work-area", "crash", "hang", "memory"};
constexpr const char* kExpected =
    "expected cpu=N[,after=K][,kind=check|kernel|work-area|memory|crash|hang][,bit=B], each once";

bool ParseNumber(std::string_view text, int largest, int* value) {
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < 0 || parsed > largest) return false;
    *value = parsed;
    return true;
}

bool ParseKind(std::string_view text, FaultKind* kind) {
    for (int index = 0; index < static_cast<int>(std::size(kKindKeys)); ++index) {
        if (text == kKindKeys[index]) {
            *kind = static_cast<FaultKind>(index);
            return true;
        }
    }
    return false;
}

bool Refuse(std::string* error, const std::string& reason) {
    if (error != nullptr) *error = reason;
    return false;
}
}  // namespace

const char* FaultKindKey(FaultKind kind) {
    const auto index = static_cast<std::size_t>(kind);
    return index < std::size(kKindKeys) ? kKindKeys[index] : "unknown";
}

bool ParseFaultInjection(std::string_view text, FaultPlan* plan, std::string* error) {
    FaultPlan parsed;
    bool seen[4] = {};  // cpu, after, kind, bit
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const std::size_t equals = item.find('=');
        const std::string_view key = item.substr(0, equals);
        const std::string_view value = equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
        const int slot = key == "cpu" ? 0 : key == "after" ? 1 : key == "kind" ? 2 : key == "bit" ? 3 : -1;
        bool valid = slot >= 0 && !seen[slot] && equals != std::string_view::npos;
        if (valid) {
            switch (slot) {
            case 0: valid = ParseNumber(value, kLargestValue, &parsed.processor); break;
            case 1: valid = ParseNumber(value, kLargestValue, &parsed.after); break;
            case 2: valid = ParseKind(value, &parsed.kind); break;
            default: valid = ParseNumber(value, 63, &parsed.bit); break;
            }
        }
        if (!valid) {
            return Refuse(error, std::string(kExpected) + " (numbers whole, cpu and after up to " +
                                     std::to_string(kLargestValue) + ", bit up to 63); the part '" + std::string(item) +
                                     "' is not");
        }
        seen[slot] = true;
    }
    if (!seen[0]) return Refuse(error, std::string(kExpected) + ": cpu is missing");
    if (seen[3] && parsed.kind != FaultKind::CheckDigest && parsed.kind != FaultKind::KernelBit &&
        parsed.kind != FaultKind::WorkAreaBit && parsed.kind != FaultKind::MemoryBit) {
        return Refuse(error, std::string("bit= goes with kind=check, kernel, work-area or memory, not kind=") +
                                 FaultKindKey(parsed.kind));
    }
    if (plan != nullptr) *plan = parsed;
    return true;
}

std::string DescribeFaultPlan(const FaultPlan& plan) {
    const std::string where = "processor " + std::to_string(plan.processor);
    const std::string bit = "bit " + std::to_string(plan.bit);
    const std::string after = std::to_string(plan.after);
    switch (plan.kind) {
    case FaultKind::CheckDigest:
        return "the check on " + where + " will report " + bit + " wrong after " + after + " good checks there";
    case FaultKind::KernelBit:
        return "a pass on " + where + " will get " + bit + " of the load kernel's state wrong after " + after +
               " passes there";
    case FaultKind::WorkAreaBit:
        return "a pass on " + where + " will get " + bit + " of a work-area word wrong after " + after + " passes there";
    case FaultKind::MemoryBit:
        return "a pass on " + where + " will flip " + bit + " of a word in a block of the memory load's buffer after " +
               after + " passes there";
    case FaultKind::Crash:
        return "a pass on " + where + " will make an invalid memory access after " + after + " passes there";
    case FaultKind::Hang:
        return "a pass on " + where + " will never end after " + after + " passes there";
    }
    return {};
}

bool FaultInjector::Due(int processor) {
    if (processor != m_plan.processor) return false;
    return m_seen.fetch_add(1, std::memory_order_relaxed) == m_plan.after;
}
