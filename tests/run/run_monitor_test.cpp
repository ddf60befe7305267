// The run's monitor over a fake sysfs tree: the sweep thread's readings and the workers' clocks
// reach the history, the headline names the hottest sensor and sums the package power, a rising
// throttle counter becomes an event, and a machine without sensors says so.

#include "run/run_monitor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "monitor/fake_sysfs.h"
#include "platform/thread.h"
#include "run/run_text.h"

namespace {

bool SampleUntil(RunMonitor& monitor, double& seconds, const std::function<bool()>& done) {
    for (int attempt = 0; attempt < 60; ++attempt) {
        monitor.Sample(seconds);
        if (done()) return true;
        seconds += 0.1;
        Sleep(100);
    }
    return false;
}

TEST(RunMonitor, SweepsAndClocksReachTheHistoryAndTheHeadline) {
    FakeSysfs tree;
    WriteIntelDesktop(tree, 4);
    RunMonitor monitor(4, tree.Root());
    ASSERT_TRUE(monitor.HasSensors());
    monitor.Start();
    monitor.PublishClock(2, 3.1e9);
    double seconds = 1.0;
    // Power needs two sweeps: the first read of an energy counter gives no watts yet.
    tree.Write("sys/class/powercap/intel-rapl:0/energy_uj", "1000000\n");
    ASSERT_TRUE(SampleUntil(monitor, seconds, [&] { return std::isfinite(monitor.Headline().hottestCelsius); }));
    tree.Write("sys/class/powercap/intel-rapl:0/energy_uj", "900000000\n");
    ASSERT_TRUE(SampleUntil(monitor, seconds, [&] { return std::isfinite(monitor.Headline().packageWatts); }))
        << "the package zone's energy rose between sweeps";
    monitor.Stop();

    const MonitorHeadline headline = monitor.Headline();
    EXPECT_DOUBLE_EQ(headline.hottestCelsius, 54.0) << "the hottest coretemp core of four processors";
    EXPECT_EQ(headline.hottestLabel, "coretemp Core 1");
    EXPECT_GT(headline.packageWatts, 0.0);
    const TimeSeriesStore& history = monitor.History();
    const auto clock = history.FindSeries("Effective clock/cpu2");
    ASSERT_TRUE(clock.has_value());
    EXPECT_EQ(history.Summary(*clock).samples, 1u) << "one publication, one sample";
    EXPECT_DOUBLE_EQ(history.Summary(*clock).max, 3.1e9);
    EXPECT_TRUE(history.FindSeries("Temperature/hwmon2/temp3").has_value());
    EXPECT_FALSE(history.FindSeries("Effective clock/cpu0").has_value()) << "nothing published there";
}

TEST(RunMonitor, ARisingThrottleCounterIsAnEventWithItsText) {
    FakeSysfs tree;
    WriteIntelDesktop(tree, 2);
    RunMonitor monitor(2, tree.Root());
    monitor.Start();
    double seconds = 0.0;
    // The first sweep starts the count; a rise after it is throttling.
    ASSERT_TRUE(SampleUntil(monitor, seconds, [&] { return monitor.History().SeriesCount() > 0; }));
    tree.Write("sys/devices/system/cpu/cpu1/thermal_throttle/core_throttle_count", "7\n");
    ASSERT_TRUE(SampleUntil(monitor, seconds, [&] { return monitor.Throttling().Count() > 0; }));
    EXPECT_TRUE(monitor.TakeEndedThrottling().empty()) << "under way: not ended yet";
    monitor.Stop();
    const std::vector<ThrottleEpisode> ended = monitor.TakeEndedThrottling();
    ASSERT_EQ(ended.size(), 1u) << "the run's end ends it, once";
    EXPECT_TRUE(monitor.TakeEndedThrottling().empty());
    const ThrottleEpisode& episode = ended.front();
    EXPECT_EQ(episode.processors, std::vector<int>{1});
    EXPECT_EQ(episode.reason, ThrottleReason::kCoreThrottleCount);
    EXPECT_EQ(episode.counts, 7u);
    const std::string text = DescribeThrottleEpisode(episode, "processor 1");
    EXPECT_EQ(text.substr(0, 30), "throttling on processor 1 from") << text;
    EXPECT_NE(text.find(": its core throttle counter rose by 7"), std::string::npos) << text;
}

TEST(RunMonitor, AMachineWithoutSensorsSaysSoAndStillKeepsTheClocks) {
    FakeSysfs empty;
    RunMonitor monitor(2, empty.Root());
    EXPECT_FALSE(monitor.HasSensors());
    EXPECT_FALSE(monitor.SensorProblem().empty());
    monitor.Start();  // nothing to sweep: no thread
    monitor.PublishClock(0, 2.9e9);
    monitor.PublishClock(5, 2.9e9);  // beyond the processors: ignored
    monitor.Sample(1.0);
    EXPECT_EQ(monitor.History().SeriesCount(), 1u);
    EXPECT_TRUE(std::isnan(monitor.Headline().hottestCelsius));
    EXPECT_TRUE(std::isnan(monitor.Headline().packageWatts)) << "absent, never 0";
}

}  // namespace

namespace {
// Clock publications between samples: each processor's latest at a sample is its sample; earlier
// ones (a probe overtaken within the second) are no figure of the run.
struct Publication {
    int processor;
    double hertz;
};
}  // namespace

TEST(RunMonitor, TheRunsClockFiguresAreThoseOfItsSamples) {
    FakeSysfs empty;
    const struct {
        const char* what;
        std::vector<std::vector<Publication>> seconds;  // published before each second's sample
        ClockStatistics expected;
    } cases[] = {
        {"nothing measured", {{}, {}}, {0.0, 0.0, 0.0, 0}},
        {"one processor", {{{0, 2.0e9}}, {{0, 3.0e9}}}, {2.0e9, 2.5e9, 3.0e9, 2}},
        {"overtaken probes are not samples",
         {{{0, 2.0e9}, {0, 2.4e9}, {1, 3.0e9}}, {{0, 1.0e9}, {0, 2.2e9}}, {{2, 2.8e9}, {1, 2.6e9}}},
         {2.2e9, 2.6e9, 3.0e9, 5}},
        {"a withdrawn processor gives no sample", {{{0, 2.0e9}, {1, 2.4e9}}, {{1, 0.0}, {0, 2.2e9}}}, {2.0e9, 2.2e9, 2.4e9, 3}},
    };
    for (const auto& c : cases) {
        RunMonitor monitor(3, empty.Root());
        double seconds = 1.0;
        for (const std::vector<Publication>& second : c.seconds) {
            for (const Publication& publication : second) monitor.PublishClock(publication.processor, publication.hertz);
            monitor.Sample(seconds);
            seconds += 1.0;
        }
        const ClockStatistics figures = EffectiveClockFigures(monitor.History());
        EXPECT_EQ(figures.samples, c.expected.samples) << c.what;
        EXPECT_DOUBLE_EQ(figures.minimumHz, c.expected.minimumHz) << c.what;
        EXPECT_DOUBLE_EQ(figures.meanHz, c.expected.meanHz) << c.what;
        EXPECT_DOUBLE_EQ(figures.maximumHz, c.expected.maximumHz) << c.what;
        // The run's lowest and highest are those of the series the Monitor tabulates.
        const TimeSeriesStore& history = monitor.History();
        for (TimeSeriesStore::SeriesId id = 0; id < history.SeriesCount(); ++id) {
            EXPECT_GE(history.Summary(id).min, figures.minimumHz) << c.what;
            EXPECT_LE(history.Summary(id).max, figures.maximumHz) << c.what;
        }
    }
}

TEST(RunMonitor, OnlyClockSeriesMakeTheClockFigures) {
    TimeSeriesStore history;
    history.Append(history.FindOrAddSeries("Temperature/hwmon1/temp1", "Tctl", MonitorUnit::kCelsius), 1.0, 61.0);
    history.Append(history.FindOrAddSeries("Frequency/cpu0", "CPU 0", MonitorUnit::kHertz), 1.0, 4.0e9);
    const auto clock = history.FindOrAddSeries("Effective clock/cpu0", "CPU 0", MonitorUnit::kHertz);
    history.Append(clock, 1.0, 2.0e9);
    history.Append(clock, 2.0, 2.5e9);
    const ClockStatistics figures = EffectiveClockFigures(history);
    EXPECT_EQ(figures.samples, 2u) << "neither the temperature nor the cpufreq figure is a measured clock";
    EXPECT_DOUBLE_EQ(figures.minimumHz, 2.0e9);
    EXPECT_DOUBLE_EQ(figures.maximumHz, 2.5e9);
}
