// Throttling detection on synthetic clock series and counters, and the workers' clock hand-over.

#include "monitor/throttle_detector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "monitor/effective_clock_source.h"

namespace {

// A clock series: `hertz` from `from` until the next segment, one sample every `step` seconds,
// with a small alternating wobble so the median is not just every sample.
struct Segment {
    double from;
    double hertz;
};
std::vector<std::pair<double, double>> ClockSeries(std::vector<Segment> segments, double end, double step = 1.0) {
    std::vector<std::pair<double, double>> samples;
    std::size_t segment = 0;
    for (int i = 0; i * step < end; ++i) {
        const double t = i * step;
        while (segment + 1 < segments.size() && t >= segments[segment + 1].from) ++segment;
        samples.emplace_back(t, segments[segment].hertz * (i % 2 == 0 ? 1.004 : 0.996));
    }
    return samples;
}

}  // namespace

TEST(ThrottleDetectorTest, ClockDropsOnSyntheticSeries) {
    struct Case {
        const char* name;
        std::vector<std::pair<double, double>> samples;
        std::vector<std::pair<double, double>> events;  // (seconds, sinceSeconds)
    };
    const double g = 3.0e9;
    const Case cases[] = {
        {"steady", ClockSeries({{0, g}}, 600), {}},
        {"13 % down for 80 s", ClockSeries({{0, g}, {120, 0.87 * g}, {200, g}}, 600), {{126, 120}}},
        {"8 % down (wobble reaching 8.4 %)", ClockSeries({{0, g}, {120, 0.92 * g}}, 600), {}},
        {"down for exactly 5 s", ClockSeries({{0, g}, {120, 0.8 * g}, {126, g}}, 600), {}},
        {"down for 6 s", ClockSeries({{0, g}, {120, 0.8 * g}, {127, g}}, 600), {{126, 120}}},
        {"two stretches", ClockSeries({{0, g}, {100, 0.5 * g}, {110, g}, {300, 0.7 * g}}, 600),
         {{106, 100}, {306, 300}}},
        // A slow first half-minute does not set a low normal: the median is of the whole minute.
        {"slow start", ClockSeries({{0, 0.6 * g}, {25, g}, {200, 0.85 * g}}, 300), {{206, 200}}},
        // Low during the first minute is part of the normal, not an event.
        {"low only in the first minute", ClockSeries({{0, g}, {20, 0.5 * g}, {40, g}}, 300), {}},
        {"sparse checks", ClockSeries({{0, g}, {100, 0.8 * g}}, 200, 10.0), {{110, 100}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        ThrottleDetector detector;
        std::vector<std::pair<double, double>> events;
        for (const auto& [seconds, hertz] : test.samples) {
            if (const auto event = detector.AddClock(2, seconds, hertz)) {
                EXPECT_EQ(event->processor, 2);
                EXPECT_EQ(event->reason, ThrottleReason::kClockDrop);
                EXPECT_DOUBLE_EQ(event->value, hertz);
                EXPECT_EQ(event->reference, *detector.BaselineHertz(2));
                events.emplace_back(event->seconds, event->sinceSeconds);
            }
        }
        EXPECT_EQ(events, test.events);
    }
}

TEST(ThrottleDetectorTest, BaselineIsTheFirstMinuteMedianPerProcessor) {
    ThrottleDetector detector;
    // Processor 0: first minute 2, 4, 100 GHz-ish outlier, 3 (median of an even count: 3.5).
    const double first[] = {2e9, 4e9, 100e9, 3e9};
    for (int i = 0; i < 4; ++i) detector.AddClock(0, i * 10.0, first[i]);
    EXPECT_FALSE(detector.BaselineHertz(0));
    EXPECT_FALSE(detector.AddClock(0, 70.0, 3.2e9));
    EXPECT_EQ(detector.BaselineHertz(0), 3.5e9);
    // Exactly 10 % below is not more than 10 % below; a hertz less is.
    for (int t = 71; t < 90; ++t) EXPECT_FALSE(detector.AddClock(0, t, 3.15e9)) << t;
    for (int t = 90; t < 96; ++t) EXPECT_FALSE(detector.AddClock(0, t, 3.15e9 - 1.0)) << t;
    EXPECT_TRUE(detector.AddClock(0, 96, 3.15e9 - 1.0));
    // Failed probes and bad indices are ignored; processor 1 starts its own minute later.
    EXPECT_FALSE(detector.AddClock(1, 100.0, 0.0));
    EXPECT_FALSE(detector.AddClock(1, 100.0, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(detector.AddClock(-1, 100.0, 1e9));
    detector.AddClock(1, 100.0, 1e9);
    EXPECT_FALSE(detector.BaselineHertz(1));
    detector.AddClock(1, 160.0, 1e9);
    EXPECT_EQ(detector.BaselineHertz(1), 1e9);
    EXPECT_EQ(detector.BaselineHertz(0), 3.5e9);
}

TEST(ThrottleDetectorTest, CounterRisesAreEvents) {
    ThrottleDetector detector;
    struct Step {
        double seconds;
        ThrottleCount count;
        bool event;
    };
    const Step steps[] = {
        {0, {3, ThrottleCounter::kCore, 7}, false},     // the first value only starts the count
        {1, {3, ThrottleCounter::kPackage, 2}, false},  // each counter has its own start
        {2, {3, ThrottleCounter::kCore, 7}, false},
        {3, {3, ThrottleCounter::kCore, 9}, true},
        {4, {3, ThrottleCounter::kPackage, 2}, false},
        {5, {3, ThrottleCounter::kCore, 1}, false},  // went down (counter reset): start again
        {6, {3, ThrottleCounter::kCore, 2}, true},
        {7, {4, ThrottleCounter::kCore, 50}, false},  // another processor starts its own count
        {8, {3, ThrottleCounter::kPackage, 3}, true},
    };
    std::vector<ThrottleEvent> events;
    for (const Step& step : steps) {
        const auto event = detector.AddThrottleCount(step.seconds, step.count);
        EXPECT_EQ(event.has_value(), step.event) << "at " << step.seconds;
        if (event) events.push_back(*event);
    }
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].reason, ThrottleReason::kCoreThrottleCount);
    EXPECT_EQ(std::make_pair(events[0].value, events[0].reference), std::make_pair(9.0, 7.0));
    EXPECT_EQ(events[0].sinceSeconds, 2.0);
    EXPECT_EQ(events[2].reason, ThrottleReason::kPackageThrottleCount);
    EXPECT_EQ(events[2].sinceSeconds, 4.0);
    EXPECT_EQ(ThrottleReasonKey(events[2].reason), "package_throttle_count");
}

TEST(EffectiveClockSourceTest, LatestValuesAndOnlyNewOnes) {
    EffectiveClockSource clocks(4);
    EXPECT_FALSE(clocks.IsAvailable());
    clocks.Publish(1, 3.2e9);
    clocks.Publish(3, 2.9e9);
    clocks.Publish(4, 1e9);   // no such slot
    clocks.Publish(-1, 1e9);  // no such slot
    clocks.Publish(2, 0.0);   // the probe could not measure
    clocks.Publish(0, std::numeric_limits<double>::infinity());
    EXPECT_TRUE(clocks.IsAvailable());
    const auto keysAndValues = [](const std::vector<SensorReading>& readings) {
        std::vector<std::pair<std::string, double>> result;
        for (const SensorReading& reading : readings) result.emplace_back(reading.key, reading.value);
        return result;
    };
    using Values = std::vector<std::pair<std::string, double>>;
    EXPECT_EQ(keysAndValues(clocks.Read()), (Values{{"cpu1", 3.2e9}, {"cpu3", 2.9e9}}));
    EXPECT_EQ(keysAndValues(clocks.ReadNew()), (Values{{"cpu1", 3.2e9}, {"cpu3", 2.9e9}}));
    EXPECT_TRUE(clocks.ReadNew().empty());
    clocks.Publish(1, 3.0e9);
    clocks.Publish(1, 3.1e9);
    EXPECT_EQ(keysAndValues(clocks.ReadNew()), (Values{{"cpu1", 3.1e9}}));
    clocks.Withdraw(3);
    EXPECT_EQ(keysAndValues(clocks.Read()), (Values{{"cpu1", 3.1e9}}));
    EXPECT_TRUE(clocks.ReadNew().empty());  // a withdrawal is not a measurement
    EXPECT_EQ(clocks.Read()[0].processor, 1);
    EXPECT_EQ(clocks.Read()[0].unit, MonitorUnit::kHertz);
}
