// FERROX_INJECT_FAULT's parser on any text: it never reads out of bounds, accepts only values in
// range, and what it accepts means the same when written back the documented way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "check/fault_injection.h"

namespace {
std::string Canonical(const FaultPlan& plan) {
    std::string text = "cpu=" + std::to_string(plan.processor) + ",after=" + std::to_string(plan.after) +
                       ",kind=" + FaultKindKey(plan.kind);
    const bool flipsABit = plan.kind == FaultKind::CheckDigest || plan.kind == FaultKind::KernelBit ||
                           plan.kind == FaultKind::WorkAreaBit;
    if (flipsABit) text += ",bit=" + std::to_string(plan.bit);
    return text;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    FaultPlan plan;
    std::string error;
    if (!ParseFaultInjection(text, &plan, &error)) {
        if (error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    if (plan.processor < 0 || plan.processor > (1 << 20) || plan.after < 0 || plan.after > (1 << 20) || plan.bit < 0 ||
        plan.bit > 63)
        std::abort();
    if (DescribeFaultPlan(plan).empty()) std::abort();
    FaultPlan again;
    if (!ParseFaultInjection(Canonical(plan), &again, &error)) std::abort();
    if (again.processor != plan.processor || again.after != plan.after || again.kind != plan.kind || again.bit != plan.bit)
        std::abort();
    return 0;
}
