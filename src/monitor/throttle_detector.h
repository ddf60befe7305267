#pragma once
// Throttling seen from two sides: a loaded processor's measured clock falling more than 10 %
// below its median of the first minute for more than 5 s, or a kernel throttle counter rising.
// Pure logic over (time, value) samples; each event is a log line and a mark on the plot.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "monitor/throttle_count_source.h"

enum class ThrottleReason { kClockDrop, kCoreThrottleCount, kPackageThrottleCount };

// Stable ASCII names for reports: "clock_drop", "core_throttle_count", "package_throttle_count".
std::string_view ThrottleReasonKey(ThrottleReason reason);

struct ThrottleEvent {
    double seconds;       // when it was seen: the sample that made the drop too long, or the new count
    double sinceSeconds;  // when it began: the first low sample, or the time of the previous count
    int processor;
    ThrottleReason reason;
    double value;      // the clock now (Hz), or the new count
    double reference;  // the first-minute median (Hz), or the previous count
};

class ThrottleDetector {
public:
    struct Settings {
        double baselineSeconds = 60.0;  // the median clock of this first stretch is the processor's own
        double dropFraction = 0.10;     // more than this fraction below that median is low
        double sustainSeconds = 5.0;    // low for longer than this is throttling
    };

    ThrottleDetector() : ThrottleDetector(Settings{}) {}
    explicit ThrottleDetector(Settings settings) : m_settings(settings) {}

    // One clock sample (seconds never decreasing per processor). An event when this sample makes
    // the processor's current stretch of low samples longer than sustainSeconds: one per stretch.
    // Samples that are not positive finite numbers (a failed probe) are ignored.
    std::optional<ThrottleEvent> AddClock(int processor, double seconds, double hertz);
    // One counter value; an event when it rose since the previous value of the same counter. The
    // first value only starts the count; a counter that went down starts again without an event.
    std::optional<ThrottleEvent> AddThrottleCount(double seconds, const ThrottleCount& count);

    // Whether the processor's clock is in a low stretch that was reported and has not ended.
    bool ClockLow(int processor) const;

    // The processor's first-minute median, once its first minute is over.
    std::optional<double> BaselineHertz(int processor) const;

private:
    struct ProcessorState {
        std::optional<double> firstSeconds;
        std::vector<double> baselineSamples;  // freed once the median is taken
        std::optional<double> baselineHertz;
        std::optional<double> lowSinceSeconds;
        bool stretchReported = false;
        std::optional<std::uint64_t> counts[2];  // core, package
        double countSeconds[2] = {0.0, 0.0};
    };
    ProcessorState* StateOf(int processor);

    Settings m_settings;
    std::vector<ProcessorState> m_processors;
};
