// The monitor's history: bounded memory over long runs, exact statistics, CSV export.

#include "monitor/time_series_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "monitor/series_csv.h"

namespace {

std::string TempPath(const std::string& stem) {
    return (std::filesystem::temp_directory_path() / (stem + std::to_string(std::random_device{}()))).string();
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(TimeSeriesStoreTest, LongRunsStayBoundedAndEveryPointIsExact) {
    struct Case {
        const char* name;
        double step;        // seconds between samples
        int samples;
        double gapFrom, gapTo;  // no samples in between
    };
    const Case cases[] = {
        {"24 hours at one sample per second", 1.0, 86400, 0, 0},
        {"one hour at ten per second", 0.1, 36000, 0, 0},
        {"a day with an 18-hour gap", 1.0, 86400, 3600, 68400},
        {"one sample a minute for a week", 60.0, 10080, 0, 0},
    };
    const TimeSeriesStore::Limits limits;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        TimeSeriesStore store;
        const auto id = store.FindOrAddSeries("Temperature/hwmon0/temp1", "Tctl", MonitorUnit::kCelsius);
        std::vector<std::pair<double, double>> kept;
        std::size_t mostStored = 0;
        for (int i = 0; i < test.samples; ++i) {
            const double t = 1000.0 + i * test.step;
            if (t - 1000.0 >= test.gapFrom && t - 1000.0 < test.gapTo) continue;
            // Integral values, so every sum and mean below is exact in double.
            const double value = static_cast<double>((i * 7919) % 1000) - 300.0;
            ASSERT_TRUE(store.Append(id, t, value));
            kept.emplace_back(t, value);
            mostStored = std::max(mostStored, store.StoredPoints(id));
        }
        EXPECT_LE(mostStored, limits.recentSamples + limits.maxBuckets);
        // Whole run: exact, whatever was merged.
        double sum = 0.0, low = kept[0].second, high = kept[0].second;
        for (const auto& [t, v] : kept) sum += v, low = std::min(low, v), high = std::max(high, v);
        const SeriesSummary summary = store.Summary(id);
        EXPECT_EQ(summary.samples, kept.size());
        EXPECT_EQ(summary.min, low);
        EXPECT_EQ(summary.max, high);
        EXPECT_EQ(summary.mean, sum / static_cast<double>(kept.size()));
        // Each point is exactly the samples in its time span; together they cover every sample once.
        const std::vector<SeriesPoint> points = store.Points(id);
        std::size_t next = 0;
        for (const SeriesPoint& point : points) {
            ASSERT_EQ(kept[next].first, point.startSeconds);
            double pointSum = 0.0, pointLow = kept[next].second, pointHigh = pointLow;
            for (std::uint64_t n = 0; n < point.samples; ++n, ++next) {
                pointSum += kept[next].second;
                pointLow = std::min(pointLow, kept[next].second);
                pointHigh = std::max(pointHigh, kept[next].second);
            }
            ASSERT_EQ(kept[next - 1].first, point.endSeconds);
            ASSERT_EQ(point.min, pointLow);
            ASSERT_EQ(point.max, pointHigh);
            ASSERT_EQ(point.mean, pointSum / static_cast<double>(point.samples));
        }
        EXPECT_EQ(next, kept.size());
        // The newest samples are kept as they came.
        ASSERT_GE(points.size(), limits.recentSamples);
        EXPECT_EQ(points.back().samples, 1u);
        EXPECT_EQ(points[points.size() - limits.recentSamples].samples, 1u);
    }
}

TEST(TimeSeriesStoreTest, RejectsValuesThatCannotBePlotted) {
    TimeSeriesStore store;
    const auto id = store.FindOrAddSeries("Power/intel-rapl:0", "package-0", MonitorUnit::kWatts);
    EXPECT_EQ(store.FindOrAddSeries("Power/intel-rapl:0", "other", MonitorUnit::kCount), id);
    EXPECT_EQ(store.Summary(id).samples, 0u);
    EXPECT_TRUE(store.Append(id, 5.0, 20.0));
    EXPECT_FALSE(store.Append(id, 6.0, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(store.Append(id, 6.0, std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(store.Append(id, 4.0, 30.0));  // before the previous sample
    EXPECT_TRUE(store.Append(id, 5.0, 10.0));   // the same time is fine
    const SeriesSummary summary = store.Summary(id);
    EXPECT_EQ(summary.samples, 2u);
    EXPECT_EQ(summary.mean, 15.0);
    EXPECT_EQ(summary.max, 20.0);
    // Readings land in "<source>/<key>" series.
    store.AppendReadings(7.0, {{"Frequency", "cpu1", "CPU 1", {}, 1, MonitorUnit::kHertz, 3.4e9}});
    const auto frequency = store.FindSeries("Frequency/cpu1");
    ASSERT_TRUE(frequency);
    EXPECT_EQ(store.Info(*frequency).label, "CPU 1");
    EXPECT_EQ(store.Summary(*frequency).max, 3.4e9);
}

TEST(TimeSeriesStoreTest, CsvHoldsEveryPointAndReplacesTheFileWhole) {
    TimeSeriesStore store({4, 10.0, 8});
    const auto temperature =
        store.FindOrAddSeries("Temperature/hwmon1/temp1", "Sensor \"A\", left", MonitorUnit::kCelsius);
    const auto power = store.FindOrAddSeries("Power/intel-rapl:0", "package-0", MonitorUnit::kWatts);
    for (int i = 0; i < 30; ++i) store.Append(temperature, i, 40.0 + (i % 2));
    store.Append(power, 2.5, 1.0 / 3.0);
    std::ostringstream csv;
    WriteSeriesCsv(store, csv);
    std::vector<std::string> lines;
    std::istringstream in(csv.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    // One row per point's time: the power sample at 2.5 s has a row of its own, each of the
    // temperature's points another (buckets at the middle of their samples).
    ASSERT_EQ(lines.size(), 1 + store.StoredPoints(temperature) + 1);
    EXPECT_EQ(lines[0], "time_s,\"Sensor \"\"A\"\", left temperature (\u00b0C)\",package-0 power (W),events");
    EXPECT_EQ(lines[1], "2.5,,0.33,") << "watts with two decimals; no temperature then";
    EXPECT_EQ(lines[2], "4.5,40.5,,") << "the first bucket: samples 0 to 9, their mean";
    EXPECT_EQ(lines.back(), "29.0,41.0,,") << "the last sample as it came";

    const std::string folder = TempPath("ferrox_csv_");
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/monitor.csv";
    std::string error;
    ASSERT_TRUE(SaveSeriesCsv(store, path, &error)) << error;
    EXPECT_EQ(FileText(path), csv.str());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
    // A save that fails leaves the earlier file as it was and says why: a path that is a link to
    // it is refused, not written through (a folder where links cannot be made).
    const std::string refused = folder + "/link.csv";
    std::error_code noLink;
    std::filesystem::create_symlink(path, refused, noLink);
    if (noLink) std::filesystem::create_directory(refused);
    store.Append(power, 3.0, 2.0);
    EXPECT_FALSE(SaveSeriesCsv(store, refused, &error));
    EXPECT_NE(error.find("link.csv"), std::string::npos) << error;
    EXPECT_EQ(FileText(path), csv.str());
    EXPECT_FALSE(SaveSeriesCsv(store, folder + "/no_such_folder/monitor.csv", &error));
    std::filesystem::remove_all(folder);
}

// Saved into a folder others can write to: what sits under a name the save could use (here a link
// someone planted to a file of the user's) is never written through.
TEST(TimeSeriesStoreTest, ACsvSaveWritesThroughNothingPlanted) {
    TimeSeriesStore store;
    store.Append(store.FindOrAddSeries("Power/intel-rapl:0", "package-0", MonitorUnit::kWatts), 1.0, 20.0);
    const std::string folder = TempPath("ferrox_csv_");
    std::filesystem::create_directory(folder);
    const std::string victim = folder + "/notes.txt";
    std::ofstream(victim) << "mine\n";
    const std::string path = folder + "/monitor.csv";
    std::error_code refused;
    std::filesystem::create_symlink(victim, path + ".partial", refused);
    if (refused) {
        std::filesystem::remove_all(folder);
        GTEST_SKIP() << "no symbolic links here";
    }
    std::string error;
    ASSERT_TRUE(SaveSeriesCsv(store, path, &error)) << error;
    EXPECT_EQ(FileText(victim), "mine\n") << "the save wrote through the planted link";
    EXPECT_FALSE(std::filesystem::is_symlink(path)) << "the saved file is the planted link";
    EXPECT_EQ(FileText(path).rfind("time_s,package-0 power (W),events\n", 0), 0u);
    std::filesystem::remove_all(folder);
}
