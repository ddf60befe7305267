// The metrics file read back as a collector reads it: the exposition is parsed (families, labels
// unescaped, values as numbers) and compared with the summary it was made from; label values
// from outside are escaped; the file is rewritten at its interval and at the end, and a write
// that fails is said once.
#include "cli/metrics_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "temporary_directory.h"

namespace fs = std::filesystem;

namespace {

// --- A reader of the text format, strict where a collector is strict ----------------------------

struct ParsedSample {
    std::string name;
    std::map<std::string, std::string> labels;
    double value = 0.0;
};

struct Parsed {
    std::map<std::string, std::string> types;  // family -> type
    std::map<std::string, std::string> helps;
    std::vector<ParsedSample> samples;
    std::vector<std::string> problems;  // empty: the text is well-formed

    // The value of the one series of name with exactly these labels; nullopt when there is none.
    std::optional<double> Value(const std::string& name, const std::map<std::string, std::string>& labels = {}) const {
        for (const ParsedSample& sample : samples)
            if (sample.name == name && sample.labels == labels) return sample.value;
        return std::nullopt;
    }
    std::size_t Count(const std::string& name) const {
        std::size_t count = 0;
        for (const ParsedSample& sample : samples) count += sample.name == name ? 1 : 0;
        return count;
    }
};

bool IsName(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    for (const char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':')) return false;
    return true;
}

Parsed ParseExposition(const std::string& text) {
    Parsed parsed;
    std::set<std::string> finished;  // families whose lines have ended
    std::set<std::string> series;
    std::string current;
    std::istringstream lines(text);
    std::string line;
    auto problem = [&](const std::string& what) { parsed.problems.push_back(what + ": " + line); };
    auto enter = [&](const std::string& family) {
        if (family == current) return;
        if (finished.count(family) != 0) problem("family " + family + " is split");
        if (!current.empty()) finished.insert(current);
        current = family;
    };
    if (!text.empty() && text.back() != '\n') parsed.problems.push_back("no line break at the end");
    while (std::getline(lines, line)) {
        if (line.rfind("# HELP ", 0) == 0 || line.rfind("# TYPE ", 0) == 0) {
            const bool help = line[2] == 'H';
            const std::size_t space = line.find(' ', 7);
            const std::string name = line.substr(7, space - 7);
            const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
            if (!IsName(name) || rest.empty()) problem("bad comment");
            enter(name);
            auto& table = help ? parsed.helps : parsed.types;
            if (!table.emplace(name, rest).second) problem("second " + std::string(help ? "HELP" : "TYPE"));
            if (!help && rest != "gauge" && rest != "counter") problem("unexpected type");
            if (!help && parsed.helps.count(name) == 0) problem("TYPE before HELP");
            continue;
        }
        if (line.empty() || line[0] == '#') {
            problem("unexpected line");
            continue;
        }
        ParsedSample sample;
        std::size_t at = 0;
        while (at < line.size() && line[at] != '{' && line[at] != ' ') ++at;
        sample.name = line.substr(0, at);
        if (!IsName(sample.name)) problem("bad name");
        std::string key = sample.name;
        if (at < line.size() && line[at] == '{') {
            ++at;
            while (at < line.size() && line[at] != '}') {
                const std::size_t equals = line.find("=\"", at);
                if (equals == std::string::npos) {
                    problem("bad label");
                    break;
                }
                const std::string label = line.substr(at, equals - at);
                if (!IsName(label) || label.find(':') != std::string::npos) problem("bad label name");
                std::string value;
                at = equals + 2;
                for (; at < line.size() && line[at] != '"'; ++at) {
                    if (line[at] != '\\') {
                        value += line[at];
                        continue;
                    }
                    const char escaped = ++at < line.size() ? line[at] : '\0';
                    if (escaped == '\\' || escaped == '"') value += escaped;
                    else if (escaped == 'n') value += '\n';
                    else problem("bad escape");
                }
                if (at >= line.size()) {
                    problem("unterminated label value");
                    break;
                }
                ++at;  // the closing quote
                if (!sample.labels.emplace(label, value).second) problem("label given twice");
                key += "|" + label + "=" + value;
                if (at < line.size() && line[at] == ',') ++at;
            }
            ++at;  // the closing brace
        }
        if (at >= line.size() || line[at] != ' ') {
            problem("no value");
            continue;
        }
        const std::string number = line.substr(at + 1);
        char* end = nullptr;
        sample.value = std::strtod(number.c_str(), &end);
        if (number.empty() || *end != '\0') problem("value not a number (or a timestamp follows)");
        if (parsed.types.count(sample.name) == 0) problem("sample before its TYPE");
        if (!series.insert(key).second) problem("series given twice");
        const std::string type = parsed.types.count(sample.name) ? parsed.types.at(sample.name) : "";
        const bool total = sample.name.size() > 6 && sample.name.compare(sample.name.size() - 6, 6, "_total") == 0;
        if ((type == "counter") != total) problem("a counter's name ends in _total, nothing else's does");
        if (type == "counter" && !(sample.value >= 0.0)) problem("negative counter");
        enter(sample.name);
        parsed.samples.push_back(sample);
    }
    return parsed;
}

// --- A run with figures of every kind -------------------------------------------------------------

RunSummary KnownSummary() {
    RunSummary summary;
    summary.elapsedSeconds = 125.375;
    summary.checks = 9007199254740993ull;  // past 2^53: written as the whole number it is
    summary.errors = 3;
    summary.verdict = Verdict::Failed;
    summary.kernel = LoadKernelKind::X87;
    ProcessorResult first;
    first.processor = 0;
    first.core = 0;
    first.package = 0;
    first.checks = 4000;
    first.loadedShare = 0.9876543210123;
    first.coreClockHz = 3.2109876543e9;
    ProcessorResult second;  // topology unknown, errors, no clock yet
    second.processor = 7;
    second.checks = 12;
    second.errors = 3;
    second.loadedShare = 0.25;
    ProcessorResult third;  // not meant to be loaded yet
    third.processor = 12;
    third.core = 6;
    third.package = 1;
    summary.processors = {first, second, third};
    summary.hottestCelsius = 81.25;
    summary.hottestLabel = "k10temp Tctl";
    summary.packageWatts = 187.625;
    summary.throttleEvents = 4;
    return summary;
}

MetricsContext KnownContext() {
    MetricsContext context;
    context.machine = "node07";
    context.version = "9.8.7";
    context.startUnixSeconds = 1700000000.125;
    context.updatedUnixSeconds = 1700000125.5;
    context.ended = true;
    return context;
}

using Labels = std::map<std::string, std::string>;

struct Expected {
    std::string name;
    Labels labels;
    double value;
};

TEST(MetricsFile, FiguresReadBackEqualTheSummarys) {
    const RunSummary summary = KnownSummary();
    const std::string text = FormatMetrics(summary, KnownContext());
    const Parsed parsed = ParseExposition(text);
    ASSERT_TRUE(parsed.problems.empty()) << parsed.problems.front() << "\n" << text;
    const Labels p0{{"processor", "0"}, {"core", "0"}, {"package", "0"}};
    const Labels p7{{"processor", "7"}};
    const Labels p12{{"processor", "12"}, {"core", "6"}, {"package", "1"}};
    const Expected expected[] = {
        {"ferrox_run_info", {{"machine", "node07"}, {"version", "9.8.7"}, {"kernel", LoadKernelName(LoadKernelKind::X87)}}, 1},
        {"ferrox_run_start_timestamp_seconds", {}, 1700000000.125},
        {"ferrox_last_update_timestamp_seconds", {}, 1700000125.5},
        {"ferrox_run_seconds", {}, 125.375},
        {"ferrox_run_ended", {}, 1},
        {"ferrox_checks_total", {}, 9007199254740993.0},
        {"ferrox_errors_total", {}, 3},
        {"ferrox_processor_checks_total", p0, 4000},
        {"ferrox_processor_checks_total", p7, 12},
        {"ferrox_processor_checks_total", p12, 0},
        {"ferrox_processor_errors_total", p0, 0},
        {"ferrox_processor_errors_total", p7, 3},
        {"ferrox_processor_errors_total", p12, 0},
        {"ferrox_processor_loaded_ratio", p0, 0.9876543210123},
        {"ferrox_processor_loaded_ratio", p7, 0.25},
        {"ferrox_processor_effective_clock_hertz", p0, 3.2109876543e9},
        {"ferrox_hottest_temperature_celsius", {}, 81.25},
        {"ferrox_package_power_watts", {}, 187.625},
        {"ferrox_throttling_episodes_total", {}, 4},
    };
    std::set<std::string> families;
    for (const Expected& figure : expected) {
        families.insert(figure.name);
        const std::optional<double> value = parsed.Value(figure.name, figure.labels);
        ASSERT_TRUE(value.has_value()) << figure.name << " with its labels is missing:\n" << text;
        EXPECT_EQ(*value, figure.value) << figure.name;  // exactly: the text reads back as the same double
        EXPECT_EQ(parsed.helps.count(figure.name), 1u) << figure.name;
    }
    // The counter past 2^53 is written as its digits, not rounded.
    EXPECT_NE(text.find("\nferrox_checks_total 9007199254740993\n"), std::string::npos) << text;
    // Nothing is made up: no ratio before a processor was meant to be loaded, no clock before its
    // first measurement, no memory bandwidth without a memory load.
    EXPECT_FALSE(parsed.Value("ferrox_processor_loaded_ratio", p12).has_value());
    EXPECT_EQ(parsed.Count("ferrox_processor_effective_clock_hertz"), 1u);
    EXPECT_EQ(parsed.Count("ferrox_memory_bandwidth_bytes_per_second"), 0u);
    // Every series is one of those above or a verdict.
    for (const ParsedSample& sample : parsed.samples)
        EXPECT_TRUE(families.count(sample.name) != 0 || sample.name == "ferrox_verdict") << sample.name;
    // Units and kinds as their names say.
    EXPECT_EQ(parsed.types.at("ferrox_processor_checks_total"), "counter");
    EXPECT_EQ(parsed.types.at("ferrox_throttling_episodes_total"), "counter");
    EXPECT_EQ(parsed.types.at("ferrox_processor_loaded_ratio"), "gauge");
    EXPECT_EQ(parsed.types.at("ferrox_verdict"), "gauge");
}

TEST(MetricsFile, SensorsAndLoadsTheMachineLacksAreLeftOutAndTheMemoryLoadsFigureWrittenWhenGiven) {
    struct Case {
        const char* what;
        double celsius, watts, bandwidth;
        std::vector<std::string> present, absent;
    };
    const double none = std::nan("");
    const Case cases[] = {
        {"no sensors, no memory load", none, none, none, {},
         {"ferrox_hottest_temperature_celsius", "ferrox_package_power_watts", "ferrox_memory_bandwidth_bytes_per_second"}},
        {"temperature only", 45.5, none, none, {"ferrox_hottest_temperature_celsius"}, {"ferrox_package_power_watts"}},
        {"power only", none, 12.5, none, {"ferrox_package_power_watts"}, {"ferrox_hottest_temperature_celsius"}},
        {"a memory load", none, none, 2.5e10, {"ferrox_memory_bandwidth_bytes_per_second"}, {}},
    };
    for (const Case& c : cases) {
        RunSummary summary = KnownSummary();
        summary.hottestCelsius = c.celsius;
        summary.packageWatts = c.watts;
        summary.memory.ran = std::isfinite(c.bandwidth);
        summary.memory.bytesPerSecond = c.bandwidth;
        MetricsContext context = KnownContext();
        const Parsed parsed = ParseExposition(FormatMetrics(summary, context));
        ASSERT_TRUE(parsed.problems.empty()) << c.what << ": " << parsed.problems.front();
        for (const std::string& name : c.absent) EXPECT_EQ(parsed.Count(name), 0u) << c.what << ": " << name;
        for (const std::string& name : c.present) {
            EXPECT_EQ(parsed.Count(name), 1u) << c.what << ": " << name;
            EXPECT_EQ(parsed.types.count(name), 1u) << c.what << ": " << name;
        }
        if (std::isfinite(c.bandwidth)) {
            EXPECT_EQ(parsed.Value("ferrox_memory_bandwidth_bytes_per_second"), c.bandwidth);
        }
        if (std::isfinite(c.celsius)) {
            EXPECT_EQ(parsed.Value("ferrox_hottest_temperature_celsius"), c.celsius);
        }
        if (std::isfinite(c.watts)) {
            EXPECT_EQ(parsed.Value("ferrox_package_power_watts"), c.watts);
        }
    }
}

TEST(MetricsFile, EveryVerdictHasASeriesAndOnlyTheRunsIsOne) {
    for (int i = 0; i < kVerdictCount; ++i) {
        RunSummary summary = KnownSummary();
        summary.verdict = static_cast<Verdict>(i);
        MetricsContext context = KnownContext();
        context.ended = i % 2 == 0;
        const Parsed parsed = ParseExposition(FormatMetrics(summary, context));
        ASSERT_TRUE(parsed.problems.empty()) << parsed.problems.front();
        EXPECT_EQ(parsed.Count("ferrox_verdict"), static_cast<std::size_t>(kVerdictCount));
        for (int j = 0; j < kVerdictCount; ++j) {
            const char* key = VerdictKey(static_cast<Verdict>(j));
            EXPECT_EQ(parsed.Value("ferrox_verdict", {{"verdict", key}}), i == j ? 1.0 : 0.0) << VerdictKey(summary.verdict) << " / " << key;
        }
        EXPECT_EQ(parsed.Value("ferrox_run_ended"), context.ended ? 1.0 : 0.0);
    }
}

TEST(MetricsFile, LabelValuesFromOutsideAreEscapedAndReadBackAsUtf8) {
    struct Case {
        std::string raw;
        std::string escaped;  // as written
        std::string read;     // as a collector reads it back
    };
    const Case cases[] = {
        {"plain-host.example", "plain-host.example", "plain-host.example"},
        {"back\\slash", "back\\\\slash", "back\\slash"},
        {"say \"hi\"", "say \\\"hi\\\"", "say \"hi\""},
        {"two\nlines", "two\\nlines", "two\nlines"},
        {"cr\rtab\tesc\x1b" "del\x7f", "cr?tab?esc?del?", "cr?tab?esc?del?"},
        {"trailing\\", "trailing\\\\", "trailing\\"},
        {"Z\xc3\xbcrich \xe6\x9d\xb1\xe4\xba\xac \xf0\x9f\x94\xa5", "Z\xc3\xbcrich \xe6\x9d\xb1\xe4\xba\xac \xf0\x9f\x94\xa5",
         "Z\xc3\xbcrich \xe6\x9d\xb1\xe4\xba\xac \xf0\x9f\x94\xa5"},
        {"bad\xff", "bad?", "bad?"},
        {"cut\xe2\x82", "cut??", "cut??"},                  // a sequence the text ends in the middle of
        {"overlong\xc0\xaf", "overlong??", "overlong??"},   // '/' in two bytes
        {"surrogate\xed\xa0\x80", "surrogate???", "surrogate???"},
        {"past\xf4\x90\x80\x80", "past????", "past????"},   // past U+10FFFF
        {std::string("nul\0byte", 8), "nul?byte", "nul?byte"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeLabelValue(c.raw), c.escaped);
        MetricsContext context = KnownContext();
        context.machine = c.raw;
        context.version = c.raw;
        const std::string text = FormatMetrics(KnownSummary(), context);
        const Parsed parsed = ParseExposition(text);
        ASSERT_TRUE(parsed.problems.empty()) << parsed.problems.front();
        const Labels info{{"machine", c.read}, {"version", c.read}, {"kernel", LoadKernelName(LoadKernelKind::X87)}};
        EXPECT_EQ(parsed.Value("ferrox_run_info", info), 1.0) << c.escaped << "\n" << text;
        // Each exposition line stays one line.
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<std::ptrdiff_t>(parsed.samples.size() + 2 * parsed.types.size()));
    }
}

// --- The file itself --------------------------------------------------------------------------------

std::size_t LinesWith(const fs::path& path, const std::string& what) {
    std::ifstream in(path);
    std::size_t count = 0;
    for (std::string line; std::getline(in, line);) count += line.find(what) != std::string::npos ? 1 : 0;
    return count;
}

TEST(MetricsFile, RewrittenEveryIntervalAndAtTheEndAFailureSaidOnce) {
    TemporaryDirectory temporary("ferrox-metrics");
    const fs::path folder = temporary.path / "textfile";
    fs::create_directory(folder);
    const fs::path file = folder / "ferrox.prom";
    const fs::path logFile = temporary.path / "state" / "ferrox.log";
    RunLog log(logFile.string());
    MetricsFile metrics(file.string());
    int summaries = 0;
    RunSummary summary = KnownSummary();
    auto take = [&] {
        ++summaries;
        return summary;
    };
    // The run seconds in the file, or -1 when there is none.
    auto writtenAt = [&]() -> double {
        if (!fs::exists(file)) return -1.0;
        const Parsed parsed = ParseExposition(ReadWholeFile(file));
        EXPECT_TRUE(parsed.problems.empty());
        return parsed.Value("ferrox_run_seconds").value_or(-2.0);
    };
    const std::string warning = "the metrics file was not written";

    struct Step {
        double seconds;
        bool ended;
        bool folderThere;
        double expectWrittenAt;  // the run seconds the file holds afterwards (-1: no file)
        int expectSummaries;     // summaries taken so far
        std::size_t expectWarnings;
    };
    const Step steps[] = {
        {0.1, false, true, 0.1, 1, 0},    // the first poll writes at once
        {2.0, false, true, 0.1, 1, 0},    // not yet due: not even a summary is taken
        {5.0, false, true, 0.1, 1, 0},
        {5.1, false, true, 5.1, 2, 0},    // kIntervalSeconds after the last write
        {9.0, false, false, -1, 2, 0},    // the folder is gone (nothing due yet)
        {10.2, false, false, -1, 3, 1},   // a failed write: one warning
        {12.0, false, false, -1, 3, 1},   // a failure is tried again only at the interval
        {15.3, false, false, -1, 4, 1},   // failing again: said no more
        {20.4, false, true, 20.4, 5, 1},  // back: written again
        {21.0, true, true, 21.0, 6, 1},   // the run ended: its final figures at once
        {30.0, true, true, 21.0, 6, 1},   // and no more
    };
    for (const Step& step : steps) {
        if (step.folderThere && !fs::exists(folder)) fs::create_directory(folder);
        if (!step.folderThere) fs::remove_all(folder);
        summary.elapsedSeconds = step.seconds;
        metrics.Update(step.seconds, step.ended, take, &log);
        EXPECT_EQ(writtenAt(), step.expectWrittenAt) << "at " << step.seconds;
        EXPECT_EQ(summaries, step.expectSummaries) << "at " << step.seconds;
        EXPECT_EQ(LinesWith(logFile, warning), step.expectWarnings) << "at " << step.seconds;
    }
    const Parsed final = ParseExposition(ReadWholeFile(file));
    EXPECT_EQ(final.Value("ferrox_run_ended"), 1.0);
    // The start is fixed at the first write: run seconds before it.
    const double start = final.Value("ferrox_run_start_timestamp_seconds").value_or(0.0);
    const double updated = final.Value("ferrox_last_update_timestamp_seconds").value_or(0.0);
    EXPECT_GT(start, 1.5e9);
    EXPECT_GE(updated - start, 0.1 - 1e-3);

    // At the end, after the run: written, or false with its own line.
    summary.elapsedSeconds = 22.5;
    EXPECT_TRUE(metrics.Finish(summary, &log));
    EXPECT_EQ(writtenAt(), 22.5);
    fs::remove_all(folder);
    EXPECT_FALSE(metrics.Finish(summary, &log));
    EXPECT_EQ(LinesWith(logFile, "the metrics file was not written at the end of the run"), 1u);
    EXPECT_FALSE(fs::exists(file));
}

}  // namespace
