// The run's monitor over a fake sysfs tree: the sweep thread's readings and the workers' clocks
// reach the history, the headline names the hottest sensor and sums the packages' power, a stop
// does not wait for the next sweep, a rising throttle counter becomes an event, and a machine
// without sensors says so.

#include "run/run_monitor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/fake_sysfs.h"
#include "platform/thread.h"
#include "run/run_text.h"

namespace {

// The newest sample of a series: its time, its value, and how many samples it got at that time.
struct NewestSample {
    double seconds;
    double value;
    int atThatTime;
};
std::optional<NewestSample> NewestOf(const TimeSeriesStore& history, std::string_view key) {
    const auto id = history.FindSeries(key);
    if (!id) return std::nullopt;
    const std::vector<SeriesPoint> points = history.Points(*id);
    if (points.empty()) return std::nullopt;
    NewestSample newest{points.back().endSeconds, points.back().max, 0};
    for (auto point = points.rbegin(); point != points.rend() && point->endSeconds == newest.seconds; ++point) ++newest.atThatTime;
    return newest;
}

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
    ASSERT_TRUE(SampleUntil(monitor, seconds, [&] { return std::isfinite(monitor.Headline().hottestCelsius); }));
    monitor.Stop();

    const MonitorHeadline headline = monitor.Headline();
    EXPECT_DOUBLE_EQ(headline.hottestCelsius, 54.0) << "the hottest coretemp core of four processors";
    EXPECT_EQ(headline.hottestLabel, "coretemp Core 1");
    const TimeSeriesStore& history = monitor.History();
    const auto clock = history.FindSeries("Effective clock/cpu2");
    ASSERT_TRUE(clock.has_value());
    EXPECT_EQ(history.Summary(*clock).samples, 1u) << "one publication, one sample";
    EXPECT_DOUBLE_EQ(history.Summary(*clock).max, 3.1e9);
    EXPECT_TRUE(history.FindSeries("Temperature/hwmon2/temp3").has_value());
    EXPECT_FALSE(history.FindSeries("Effective clock/cpu0").has_value()) << "nothing published there";
}

// The headline's package power is each package zone's own figure in the newest sweep, summed: not
// the package's parts (core, uncore, dram: their energy is in the package's already), not psys, and
// not an older sweep's figure taken in at the same time.
TEST(RunMonitor, HeadlinePowerIsTheNewestSweepsPackagesSummed) {
    FakeSysfs tree;
    WriteIntelDesktop(tree, 2);
    const std::string powercap = "sys/class/powercap/";
    tree.Write(powercap + "intel-rapl:2/name", "package-1\n");
    tree.Write(powercap + "intel-rapl:2/energy_uj", "1000000\n");
    tree.Write(powercap + "intel-rapl:2/max_energy_range_uj", "262143328850\n");
    RunMonitor monitor(2, tree.Root());
    monitor.Start();
    // Package 0's counter stands still while its parts', psys' and package 1's rise.
    std::uint64_t energy = 1000000;
    const auto raise = [&] {
        energy += 7000000;
        for (const char* zone : {"intel-rapl:0:0", "intel-rapl:0:1", "intel-rapl:0:2", "intel-rapl:1", "intel-rapl:2"})
            tree.Write(powercap + zone + "/energy_uj", std::to_string(energy) + "\n");
    };
    const TimeSeriesStore& history = monitor.History();
    double seconds = 0.0;
    // Whether the newest sweep taken in at seconds gave both packages and the core part a figure;
    // if so, the headline must be the packages' figures summed. rising: the parts' rose too.
    const auto compare = [&](const char* when, bool* rising) {
        const auto package0 = NewestOf(history, "Power/intel-rapl:0");
        const auto package1 = NewestOf(history, "Power/intel-rapl:2");
        const auto core = NewestOf(history, "Power/intel-rapl:0:0");
        if (!package0 || !package1 || !core || package0->seconds != seconds || package1->seconds != seconds ||
            core->seconds != seconds)
            return false;
        EXPECT_EQ(package0->value, 0.0) << when;
        EXPECT_EQ(monitor.Headline().packageWatts, package0->value + package1->value)
            << when << ": package 0 " << package0->value << " W, package 1 " << package1->value << " W, its core part "
            << core->value << " W, " << core->atThatTime << " sweep(s) taken in at once";
        *rising = core->value > 0.0 && package1->value > 0.0;
        return true;
    };
    // Taken in every tenth of a second, until two sweeps saw the parts rise.
    int risingSweeps = 0;
    for (int attempt = 0; attempt < 600 && risingSweeps < 2; ++attempt) {
        raise();
        seconds += 0.1;
        monitor.Sample(seconds);
        bool rising = false;
        if (compare("sampled often", &rising) && rising) ++risingSweeps;
        Sleep(100);
    }
    ASSERT_EQ(risingSweeps, 2) << "the sweeps never showed the parts' power";
    // Taken in after a pause of more than two sweeps: the rise is in the first of them only.
    raise();
    Sleep(2500);
    seconds += 2.5;
    monitor.Sample(seconds);
    bool rising = false;
    EXPECT_TRUE(compare("after a pause", &rising)) << "no sweep in 2.5 s";
    monitor.Stop();
    EXPECT_TRUE(std::isfinite(monitor.Headline().packageWatts));
}

// Stop wakes the sweep thread from its wait between sweeps: it returns long before the next sweep
// would be due (1 s), wherever the stop falls against the sweep. The stop comes ever later after the
// start (0 to 200 us: the thread starts, sweeps and waits within some 50 us here), so that stops
// fall before, during and after the first sweep. A flag set without the lock loses the wake-up
// only when the stop falls in the few nanoseconds between the thread's last look at the flag and
// its wait: this test sees that seldom, the ThreadSanitizer stage every time (a data race).
TEST(RunMonitor, StopDoesNotWaitForTheNextSweep) {
    constexpr int kAttempts = 2000;
    constexpr long long kDelayStepNanoseconds = 100;
    FakeSysfs tree;
    tree.Write("sys/class/hwmon/hwmon0/name", "acpitz\n");
    tree.Write("sys/class/hwmon/hwmon0/temp1_input", "27800\n");
    RunMonitor monitor(1, tree.Root());
    ASSERT_TRUE(monitor.HasSensors());
    constexpr auto kBound = std::chrono::milliseconds(500);  // half a sweep interval: a bound, not a speed
    int late = 0;
    for (int attempt = 0; attempt < kAttempts && late == 0; ++attempt) {
        monitor.Start();
        const auto started = std::chrono::steady_clock::now();
        const auto delay = std::chrono::nanoseconds(attempt * kDelayStepNanoseconds);
        while (std::chrono::steady_clock::now() - started < delay) {
        }
        const auto stopping = std::chrono::steady_clock::now();
        monitor.Stop();
        if (std::chrono::steady_clock::now() - stopping > kBound) ++late;
    }
    EXPECT_EQ(late, 0) << "a stop waited for the next sweep";
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
        SeriesSummary expected;
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
        const SeriesSummary figures = EffectiveClockFigures(monitor.History());
        EXPECT_EQ(figures.samples, c.expected.samples) << c.what;
        EXPECT_DOUBLE_EQ(figures.min, c.expected.min) << c.what;
        EXPECT_DOUBLE_EQ(figures.mean, c.expected.mean) << c.what;
        EXPECT_DOUBLE_EQ(figures.max, c.expected.max) << c.what;
        // The run's lowest and highest are those of the series the Monitor tabulates.
        const TimeSeriesStore& history = monitor.History();
        for (TimeSeriesStore::SeriesId id = 0; id < history.SeriesCount(); ++id) {
            EXPECT_GE(history.Summary(id).min, figures.min) << c.what;
            EXPECT_LE(history.Summary(id).max, figures.max) << c.what;
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
    const SeriesSummary figures = EffectiveClockFigures(history);
    EXPECT_EQ(figures.samples, 2u) << "neither the temperature nor the cpufreq figure is a measured clock";
    EXPECT_DOUBLE_EQ(figures.min, 2.0e9);
    EXPECT_DOUBLE_EQ(figures.max, 2.5e9);
}
