// The Monitor's CSV as spreadsheets and pandas take it: a time column in seconds, a column per
// series in MHz, °C and W with their precision, empty cells where a series has no value, errors
// and throttling in the events column, and the file read back by Python's csv module (and by
// pandas where it is installed).

#include "monitor/series_csv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Csv(const TimeSeriesStore& store, const std::vector<CsvEvent>& events = {}) {
    std::ostringstream csv;
    WriteSeriesCsv(store, csv, events);
    return csv.str();
}

// Two processors' clocks, a temperature and the package power, sampled together each second (as
// the run's monitor samples them) for seconds 1 to 4; the power has no value at 1 s (its counter
// needs two reads) and the second clock none at 3 s (its worker was restarted).
TimeSeriesStore SampledStore() {
    TimeSeriesStore store;
    const auto cpu0 = store.FindOrAddSeries("Effective clock/cpu0", "CPU 0", MonitorUnit::kHertz);
    const auto cpu1 = store.FindOrAddSeries("Effective clock/cpu1", "CPU 1", MonitorUnit::kHertz);
    const auto core = store.FindOrAddSeries("Temperature/hwmon2/temp2", "Core 0", MonitorUnit::kCelsius);
    const auto package = store.FindOrAddSeries("Power/intel-rapl:0", "package-0", MonitorUnit::kWatts);
    for (int second = 1; second <= 4; ++second) {
        const double at = second + 0.0031;  // the run time the sample was taken at
        store.Append(cpu0, at, 2'400'049'000.0 + second * 1e6);
        if (second != 3) store.Append(cpu1, at, 2'299'951'000.0);
        store.Append(core, at, 54.0 + second * 0.25);
        if (second > 1) store.Append(package, at, 12.3456 * second);
    }
    return store;
}

}  // namespace

TEST(SeriesCsv, ColumnsAreSeriesInTheirUnitsAndRowsAreSamplingTimes) {
    const std::vector<std::string> lines = Lines(Csv(SampledStore()));
    const std::vector<std::string> expected = {
        "time_s,CPU 0 effective clock (MHz),CPU 1 effective clock (MHz),Core 0 temperature (\u00b0C),package-0 power (W),events",
        "1.0,2401.0,2300.0,54.2,,",
        "2.0,2402.0,2300.0,54.5,24.69,",
        "3.0,2403.0,,54.8,37.04,",
        "4.0,2404.0,2300.0,55.0,49.38,",
    };
    EXPECT_EQ(lines, expected);
}

TEST(SeriesCsv, EventsLandOnTheRowAtOrAfterTheirTime) {
    const struct {
        const char* what;
        std::vector<CsvEvent> events;
        std::vector<std::string> lastColumns;  // each row's events cell, from 1 s on; then any rows added
    } cases[] = {
        {"none", {}, {"", "", "", ""}},
        {"between two samples: the next", {{2.4, "error: worker 0 on processor 1"}}, {"", "", "error: worker 0 on processor 1", ""}},
        {"at a sample: that one", {{2.0031, "throttling on package 0"}}, {"", "throttling on package 0", "", ""}},
        {"before the first sample: the first", {{0.2, "early"}}, {"early", "", "", ""}},
        {"two at once, in time order", {{3.9, "second"}, {3.5, "first"}}, {"", "", "", "first; second"}},
        {"after the last sample: a row of its own", {{6.0, "late"}}, {"", "", "", "", "late"}},
        {"text with a comma is quoted", {{1.0, "a, b"}}, {"\"a, b\"", "", "", ""}},
        {"text like a formula is not one", {{1.0, "=HYPERLINK(1)"}}, {"'=HYPERLINK(1)", "", "", ""}},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> lines = Lines(Csv(SampledStore(), c.events));
        ASSERT_EQ(lines.size(), 1 + c.lastColumns.size()) << c.what;
        for (std::size_t row = 0; row < c.lastColumns.size(); ++row) {
            const std::string& line = lines[row + 1];
            // Every cell before the events is a number or empty, so the events start after the fifth comma.
            std::size_t at = 0;
            for (int comma = 0; comma < 5; ++comma) at = line.find(',', at) + 1;
            EXPECT_EQ(line.substr(at), c.lastColumns[row]) << c.what << ", row " << row + 1 << ": " << line;
        }
    }
    // The added row has the event's time and no values.
    EXPECT_EQ(Lines(Csv(SampledStore(), {{6.04, "late"}})).back(), "6.0,,,,,late");
}

TEST(SeriesCsv, NamesAreUniqueAndEachUnitHasItsPrecision) {
    TimeSeriesStore store;
    // Two drives that both call their sensor "Composite"; a throttle counter has no unit.
    store.Append(store.FindOrAddSeries("Temperature/hwmon3/temp1", "Composite", MonitorUnit::kCelsius), 1.0, 38.85);
    store.Append(store.FindOrAddSeries("Temperature/hwmon4/temp1", "Composite", MonitorUnit::kCelsius), 1.0, -0.04);
    store.Append(store.FindOrAddSeries("Throttle count/cpu0/core", "CPU 0 core", MonitorUnit::kCount), 1.0, 17.0);
    store.Append(store.FindOrAddSeries("Frequency/cpu0", "CPU 0", MonitorUnit::kHertz), 1.0, 3.6e9);
    store.Append(store.FindOrAddSeries("Power/intel-rapl:0:0", "package-0 core", MonitorUnit::kWatts), 1.0, 0.004);
    const std::vector<std::string> lines = Lines(Csv(store));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "time_s,Composite temperature [hwmon3/temp1] (\u00b0C),Composite temperature [hwmon4/temp1] (\u00b0C),"
                        "CPU 0 core throttle count,CPU 0 frequency (MHz),package-0 core power (W),events");
    // 38.85 is 38.85000000000000142 as a double: one decimal rounds it up; -0.04 is 0.0, never -0.0.
    EXPECT_EQ(lines[1], "1.0,38.9,0.0,17,3600.0,0.00,");
}

// The file as Python's csv module reads it (the standard library, as a spreadsheet reads it), and
// as pandas does where it is installed: the same columns, numbers that parse, empty cells as
// missing values, the events as text.
TEST(SeriesCsv, PythonReadsTheFileBack) {
#ifdef _WIN32
    GTEST_SKIP() << "Python is not part of the Windows test stage";
#else
    // Debian's own Python first: scripts/setup installs pandas for it.
    const std::string python = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    const char* data = std::getenv("FERROX_TEST_DATA");
    if (data == nullptr || std::system((python + " -c '' >/dev/null 2>&1").c_str()) != 0) GTEST_SKIP() << "no python3 here";
    const std::filesystem::path script = std::filesystem::path(data).parent_path() / "read_csv_back.py";
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("ferrox-csv-" + std::to_string(std::random_device{}()) + ".csv");
    std::string error;
    ASSERT_TRUE(SaveSeriesCsv(SampledStore(), path.string(), &error,
                              {{2.5, "error: worker 1 on processor 1 (core 1, package 0), x87 chain: expected 1, obtained 3"},
                               {2.9, "throttling on package 0 from 00:00:02.9 to 00:00:04.0"}}))
        << error;
    const std::string command = python + " '" + script.string() + "' '" + path.string() + "'";
    const int status = std::system(command.c_str());
    std::filesystem::remove(path);
    EXPECT_EQ(status, 0) << command << " found the file wrong (its output above says how)";
#endif
}
