// Throttling events from clock samples and throttle counters.

#include "monitor/throttle_detector.h"

#include <algorithm>
#include <cmath>

namespace {

// Far more processors than any machine has; a larger index is a caller's mistake, not a reason
// to allocate.
constexpr int kMostProcessors = 1 << 16;

double Median(std::vector<double>& values) {
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1) return upper;
    const double lower = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle));
    return (lower + upper) / 2.0;
}

}  // namespace

std::string_view ThrottleReasonKey(ThrottleReason reason) {
    switch (reason) {
        case ThrottleReason::kClockDrop: return "clock_drop";
        case ThrottleReason::kCoreThrottleCount: return "core_throttle_count";
        case ThrottleReason::kPackageThrottleCount: return "package_throttle_count";
    }
    return "clock_drop";
}

ThrottleDetector::ProcessorState* ThrottleDetector::StateOf(int processor) {
    if (processor < 0 || processor >= kMostProcessors) return nullptr;
    const auto index = static_cast<std::size_t>(processor);
    if (index >= m_processors.size()) m_processors.resize(index + 1);
    return &m_processors[index];
}

std::optional<double> ThrottleDetector::BaselineHertz(int processor) const {
    if (processor < 0 || static_cast<std::size_t>(processor) >= m_processors.size()) return std::nullopt;
    return m_processors[static_cast<std::size_t>(processor)].baselineHertz;
}

std::optional<ThrottleEvent> ThrottleDetector::AddClock(int processor, double seconds, double hertz) {
    ProcessorState* state = StateOf(processor);
    if (state == nullptr || !std::isfinite(hertz) || hertz <= 0.0 || !std::isfinite(seconds)) return std::nullopt;
    if (!state->firstSeconds) state->firstSeconds = seconds;
    if (!state->baselineHertz) {
        if (seconds < *state->firstSeconds + m_settings.baselineSeconds) {
            state->baselineSamples.push_back(hertz);
            return std::nullopt;
        }
        // Empty only when baselineSeconds is not positive: then the first sample is the baseline.
        state->baselineHertz = state->baselineSamples.empty() ? hertz : Median(state->baselineSamples);
        state->baselineSamples = {};
    }
    if (hertz >= (1.0 - m_settings.dropFraction) * *state->baselineHertz) {
        state->lowSinceSeconds.reset();
        state->stretchReported = false;
        return std::nullopt;
    }
    if (!state->lowSinceSeconds) state->lowSinceSeconds = seconds;
    if (state->stretchReported || seconds - *state->lowSinceSeconds <= m_settings.sustainSeconds) return std::nullopt;
    state->stretchReported = true;
    return ThrottleEvent{seconds, *state->lowSinceSeconds, processor,
                         ThrottleReason::kClockDrop, hertz, *state->baselineHertz};
}

bool ThrottleDetector::ClockLow(int processor) const {
    if (processor < 0 || static_cast<std::size_t>(processor) >= m_processors.size()) return false;
    return m_processors[static_cast<std::size_t>(processor)].stretchReported;
}

std::optional<ThrottleEvent> ThrottleDetector::AddThrottleCount(double seconds, const ThrottleCount& count) {
    ProcessorState* state = StateOf(count.processor);
    if (state == nullptr) return std::nullopt;
    const bool core = count.counter == ThrottleCounter::kCore;
    std::optional<std::uint64_t>& previous = state->counts[core ? 0 : 1];
    double& previousSeconds = state->countSeconds[core ? 0 : 1];
    std::optional<ThrottleEvent> event;
    if (previous && count.count > *previous) {
        event = ThrottleEvent{seconds, previousSeconds, count.processor,
                              core ? ThrottleReason::kCoreThrottleCount : ThrottleReason::kPackageThrottleCount,
                              static_cast<double>(count.count), static_cast<double>(*previous)};
    }
    previous = count.count;
    previousSeconds = seconds;
    return event;
}
