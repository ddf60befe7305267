#include "cli/run_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <variant>

#include "cli/status_line.h"
#include "ferrox_version.h"
#include "load/placement.h"
#include "platform/json.h"
#include "platform/processors.h"
#include "run/run_text.h"

namespace {

RunSummary OneFailingProcessor() {
    RunSummary summary;
    summary.elapsedSeconds = 65.25;
    summary.checks = 480;
    summary.errors = 1;
    summary.verdict = Verdict::Failed;
    ProcessorResult good;
    good.processor = 0;
    good.core = 0;
    good.checks = 240;
    ProcessorResult bad;
    bad.processor = 3;
    bad.core = -1;
    bad.package = 0;
    bad.errors = 1;
    bad.firstErrorSeconds = 12.5;
    bad.coreClockHz = 3.21e9;
    summary.processors = {good, bad};
    RunError error;
    error.seconds = 12.5;
    error.worker = 1;
    error.processor = 3;
    error.part = CheckPart::MemoryPattern;
    error.expected = 0x55;
    error.obtained = 0x54;
    summary.errorList = {error};
    summary.failingProcessors = {3};
    return summary;
}

// The value at path ("processors/1/core": object keys and array indexes); null when there is none.
const JsonValue* Find(const JsonValue& root, const std::string& path) {
    const JsonValue* at = &root;
    std::size_t begin = 0;
    while (begin <= path.size()) {
        const std::size_t slash = std::min(path.find('/', begin), path.size());
        const std::string step = path.substr(begin, slash - begin);
        begin = slash + 1;
        if (const auto* array = std::get_if<JsonValue::Array>(&at->Value())) {
            const std::size_t index = static_cast<std::size_t>(std::stoul(step));
            if (index >= array->size()) return nullptr;
            at = &(*array)[index];
        } else if (const auto* object = std::get_if<JsonValue::Object>(&at->Value())) {
            const JsonValue* found = nullptr;
            for (const auto& [key, value] : *object)
                if (key == step) found = &value;  // a key given twice keeps its last value
            if (found == nullptr) return nullptr;
            at = found;
        } else {
            return nullptr;
        }
    }
    return at;
}

// Whether two plain values (null, booleans, numbers, strings) are the same; numbers to 1e-9.
bool SameValue(const JsonValue& a, const JsonValue& b) {
    if (a.Value().index() != b.Value().index()) return false;
    if (const double* x = std::get_if<double>(&a.Value())) return std::fabs(*x - std::get<double>(b.Value())) <= 1e-9;
    if (const bool* x = std::get_if<bool>(&a.Value())) return *x == std::get<bool>(b.Value());
    if (const std::string* x = std::get_if<std::string>(&a.Value())) return *x == std::get<std::string>(b.Value());
    return std::holds_alternative<std::monostate>(a.Value());
}

std::size_t Length(const JsonValue* value) {
    const auto* array = value != nullptr ? std::get_if<JsonValue::Array>(&value->Value()) : nullptr;
    return array != nullptr ? array->size() : 0;
}

// One run in which every figure differs from every other, so a field given another's value shows.
struct ReportedRun {
    RunSummary summary;
    RunSettings settings;
    ReportTimes times;
};

ReportedRun TwoProcessorsOneFailing() {
    ReportedRun run;
    RunSummary& summary = run.summary;
    summary = OneFailingProcessor();
    summary.kernelRuns = true;
    summary.kernel = LoadKernelKind::Avx512;
    ProcessorResult& good = summary.processors[0];
    good.core = 2;
    good.package = 1;
    good.loadedSeconds = 60.5;
    good.assignedSeconds = 64.0;
    good.loadedShare = 60.5 / 64.0;
    good.coreClockHz = 2.9e9;
    ProcessorResult& bad = summary.processors[1];
    bad.loadedSeconds = 30.25;
    bad.assignedSeconds = 32.5;
    bad.loadedShare = 30.25 / 32.5;
    bad.failed = true;
    summary.errorList[0].core = 5;
    summary.errorList[0].package = 1;
    summary.errorList[0].endProcessor = 2;
    RunError crash;
    crash.kind = RunErrorKind::Crashed;
    crash.seconds = 20.125;
    crash.worker = 0;
    crash.processor = 0;
    crash.core = 2;
    crash.package = 1;
    crash.faultName = "invalid memory access (SIGSEGV)";
    crash.faultAddress = 8;
    summary.errorList.push_back(crash);
    WorkerResult worker;
    worker.worker = 1;
    worker.processor = 3;
    worker.kernel = LoadKernelKind::Avx512;
    worker.state = WorkerState::Failed;
    worker.passes = 1000;
    worker.checks = 239;
    worker.errors = 1;
    worker.loadedSeconds = 30.25;
    worker.coreClockHz = 3.3e9;
    worker.restarts = 2;
    summary.workers = {worker};
    summary.coreClock = SeriesSummary{2.1e9, 2.55e9, 3.4e9, 7};
    summary.hottestCelsius = 71.26;
    summary.hottestLabel = "coretemp Core 1";
    summary.packageWatts = 65.04;
    run.settings.threads = 2;
    run.settings.priority = PriorityChoice::High;
    run.settings.load = LoadChoice::Avx512;
    run.settings.pin = false;
    run.settings.stopOnError = true;
    run.settings.durationSeconds = 600;
    run.times.start = 0;
    run.times.end = 66;
    run.times.endReason = "SIGTERM";
    return run;
}

// Every field of the report holds its own figure: each processor's place and counts, each worker,
// each error with where it happened, the clocks, the sensors, the settings and the verdict.
TEST(RunReport, EachFieldHoldsItsOwnValue) {
    const ReportedRun run = TwoProcessorsOneFailing();
    const JsonValue report = BuildRunReport(run.summary, run.settings, run.times, 2.4454e9);
    const struct {
        const char* path;
        JsonValue value;
    } fields[] = {
        {"ferrox_version", kFerroxVersion},
        {"start_time", "1970-01-01T00:00:00Z"},
        {"end_time", "1970-01-01T00:01:06Z"},
        {"run_seconds", 65.25},
        {"end_reason", "SIGTERM"},
        {"machine/logical_processors", static_cast<unsigned>(AllowedProcessors().size())},
        {"machine/physical_cores", CountPhysicalCores(AllowedProcessors())},
        {"settings/threads", 2},
        {"settings/cycle_seconds", {}},
        {"settings/priority", "high"},
        {"settings/load", "avx512"},
        {"settings/kernel", "AVX-512"},
        {"settings/pin", false},
        {"settings/stop_on_error", true},
        {"settings/duration_seconds", 600},
        {"processors/0/processor", 0},
        {"processors/0/core", 2},
        {"processors/0/package", 1},
        {"processors/0/loaded_seconds", 60.5},
        {"processors/0/assigned_seconds", 64},
        {"processors/0/loaded_share", 0.945},
        {"processors/0/checks", 240},
        {"processors/0/errors", 0},
        {"processors/0/first_error_seconds", {}},
        {"processors/0/effective_clock_mhz", 2900},
        {"processors/0/failed", false},
        {"processors/1/processor", 3},
        {"processors/1/core", {}},
        {"processors/1/package", 0},
        {"processors/1/loaded_seconds", 30.25},
        {"processors/1/assigned_seconds", 32.5},
        {"processors/1/loaded_share", 0.931},
        {"processors/1/checks", 0},
        {"processors/1/errors", 1},
        {"processors/1/first_error_seconds", 12.5},
        {"processors/1/effective_clock_mhz", 3210},
        {"processors/1/failed", true},
        {"workers/0/worker", 1},
        {"workers/0/processor", 3},
        {"workers/0/kernel", "AVX-512"},
        {"workers/0/state", "stopped after an error"},
        {"workers/0/passes", 1000},
        {"workers/0/checks", 239},
        {"workers/0/errors", 1},
        {"workers/0/loaded_seconds", 30.25},
        {"workers/0/effective_clock_mhz", 3300},
        {"workers/0/restarts", 2},
        {"errors/0/kind", "check failed"},
        {"errors/0/seconds", 12.5},
        {"errors/0/worker", 1},
        {"errors/0/processor", 3},
        {"errors/0/core", 5},
        {"errors/0/package", 1},
        {"errors/0/moved_to_processor", 2},
        {"errors/0/check", CheckPartName(CheckPart::MemoryPattern)},
        {"errors/0/expected", "0000000000000055"},
        {"errors/0/obtained", "0000000000000054"},
        {"errors/0/fault", {}},
        {"errors/0/fault_address", {}},
        {"errors/0/stuck_seconds", {}},
        {"errors/1/kind", "crashed"},
        {"errors/1/seconds", 20.125},
        {"errors/1/worker", 0},
        {"errors/1/processor", 0},
        {"errors/1/core", 2},
        {"errors/1/package", 1},
        {"errors/1/moved_to_processor", {}},
        {"errors/1/check", {}},
        {"errors/1/expected", {}},
        {"errors/1/fault", "invalid memory access (SIGSEGV)"},
        {"errors/1/fault_address", "0x8"},
        {"clock/time_stamp_mhz", 2445.4},
        {"clock/effective/min_mhz", 2100},
        {"clock/effective/mean_mhz", 2550},
        {"clock/effective/max_mhz", 3400},
        {"clock/effective/samples", 7},
        {"sensors/hottest_celsius", 71.3},
        {"sensors/hottest_label", "coretemp Core 1"},
        {"sensors/package_watts", 65},
        {"checks", 480},
        {"error_count", 1},
        {"failing_processors/0", 3},
        {"verdict", "failed"},
        {"verdict_reason", {}},
        {"self_checked", true},
    };
    for (const auto& field : fields) {
        const JsonValue* value = Find(report, field.path);
        ASSERT_NE(value, nullptr) << field.path << " is missing";
        EXPECT_TRUE(SameValue(*value, field.value))
            << field.path << ": " << FormatJson(*value, true) << " instead of " << FormatJson(field.value, true);
    }
    EXPECT_EQ(Length(Find(report, "processors")), 2u);
    EXPECT_EQ(Length(Find(report, "workers")), 1u);
    EXPECT_EQ(Length(Find(report, "errors")), 2u);
    EXPECT_EQ(Length(Find(report, "failing_processors")), 1u);
    EXPECT_EQ(Find(report, "monitor"), nullptr) << "no monitor given, no monitor part";
    // Written out, a machine reads the same.
    const std::string text = FormatJson(report, true);
    for (const char* written : {"\"verdict\":\"failed\"", "\"min_mhz\":2100", "\"core\":null", "\"fault_address\":\"0x8\""})
        EXPECT_NE(text.find(written), std::string::npos) << written << " in " << text;
}

// Unknown figures are null, never 0 or a made-up value.
TEST(RunReport, UnknownFiguresAreNull) {
    RunSummary summary;
    summary.kernelRuns = false;  // a load this processor cannot run
    summary.hottestCelsius = std::nan("");
    summary.packageWatts = std::nan("");
    ProcessorResult unplaced;
    unplaced.processor = 1;
    summary.processors = {unplaced};
    const JsonValue report = BuildRunReport(summary, RunSettings{}, ReportTimes{}, 0.0);
    for (const char* path : {"clock/time_stamp_mhz", "clock/effective/min_mhz", "clock/effective/mean_mhz",
                             "clock/effective/max_mhz", "sensors/hottest_celsius", "sensors/hottest_label",
                             "sensors/package_watts", "settings/kernel", "settings/duration_seconds",
                             "processors/0/core", "processors/0/package", "processors/0/loaded_share",
                             "processors/0/first_error_seconds", "processors/0/effective_clock_mhz"}) {
        const JsonValue* value = Find(report, path);
        ASSERT_NE(value, nullptr) << path << " is missing";
        EXPECT_TRUE(std::holds_alternative<std::monostate>(value->Value())) << path << ": " << FormatJson(*value, true);
    }
    const JsonValue* threads = Find(report, "settings/threads");
    ASSERT_NE(threads, nullptr);
    EXPECT_TRUE(SameValue(*threads, "auto"));
}

TEST(StatusLine, CarriesTheCountsAndNamesFailingProcessors) {
    RunSummary summary = OneFailingProcessor();
    const std::string text = StatusText(summary, 2.4454e9);
    EXPECT_EQ(text.rfind("00:01:05 at 2445.4 MHz, cores 3210.0 MHz, 480 checks passed, 1 error", 0), 0u) << text;
    const std::string failing = " - " + FailingProcessorsText({3});
    EXPECT_EQ(text.substr(text.size() - failing.size()), failing) << text;
    summary.verdict = Verdict::Passed;
    summary.errors = 0;
    summary.failingProcessors.clear();
    EXPECT_EQ(SummaryText(summary, "its duration ended"), "PASSED after 00:01:05 (its duration ended): 480 checks passed, 0 errors");
}

// A memory load's run: its part of the report, its errors' own fields and its status line.
TEST(RunReport, TheMemoryLoadsPartAndItsErrors) {
    RunSummary summary = OneFailingProcessor();
    summary.memory.ran = true;
    summary.memory.kernel = LoadKernelKind::Memory;
    summary.memory.bufferBytes = summary.memory.startBytes = 64ull << 20;
    summary.memory.marginBytes = 512ull << 20;
    summary.memory.hugePages = true;
    summary.memory.locked = false;
    summary.memory.path = "AVX-512";
    summary.memory.bytesPerSecond = 12.34e9;
    summary.memory.meanBytesPerSecond = 11.96e9;
    summary.memory.bytesVerified = 40960ull * 65536;
    summary.memory.blocksVerified = 40960;
    summary.memory.sweeps = 40.0;
    summary.memory.crossReadShare = 0.5;
    RunError error;
    error.kind = RunErrorKind::WordMismatch;
    error.kernel = LoadKernelKind::Memory;
    error.processor = 1;
    error.expected = 0x5555555555555555ull;
    error.obtained = 0x5555555555575555ull;
    error.mismatch.address = 0x7f0012345678ull;
    error.mismatch.physicalAddress = 0x2d6b6c500ull;
    error.mismatch.writer = 0;
    error.mismatch.reader = 1;
    error.mismatch.wrongWords = 1;
    summary.errorList = {error};
    const std::string report = FormatJson(BuildRunReport(summary, RunSettings{}, ReportTimes{}, 2.4e9), true);
    for (const char* field :
         {"\"memory\":{\"block_bytes\":262144", "\"load\":\"memory\"", "\"path\":\"AVX-512\"", "\"gb_per_second\":12", "\"last_second_gb_per_second\":12.3",
          "\"buffer_bytes\":67108864", "\"margin_bytes\":536870912", "\"huge_pages\":true", "\"locked\":false",
          "\"verified_blocks\":40960", "\"sweeps\":40", "\"read_by_another_processor\":0.5", "\"checksum\":\"crc32c\"",
          "\"kind\":\"memory mismatch\"", "\"address\":\"0x7f0012345678\"", "\"physical_address\":\"0x2d6b6c500\"",
          "\"bits\":[17]", "\"writer_processor\":0", "\"reader_processor\":1", "\"expected\":\"5555555555555555\"",
          "\"obtained\":\"5555555555575555\""}) {
        EXPECT_NE(report.find(field), std::string::npos) << field << " in " << report;
    }
    const std::string text = StatusText(summary, 2.4e9);
    EXPECT_NE(text.find(", memory 12.3 GB/s, 40960 blocks verified"), std::string::npos) << text;
    EXPECT_NE(DescribeError(error).find("memory load: the word at 0x7f0012345678 (physical 0x2d6b6c500) differs in bit 17: "
                                        "expected 5555555555555555, obtained 5555555555575555; written by processor 0, read by processor 1"),
              std::string::npos)
        << DescribeError(error);
    // No memory load: no such part.
    EXPECT_EQ(FormatJson(BuildRunReport(OneFailingProcessor(), RunSettings{}, ReportTimes{}, 2.4e9), true).find("\"memory\":{"),
              std::string::npos);
}

TEST(RunText, DifferingBitsAreListed) {
    EXPECT_EQ(DifferingBitsText(0, 1), "bit 0");
    EXPECT_EQ(DifferingBitsText(0, (1ull << 3) | (1ull << 17) | (1ull << 63)), "bits 3, 17 and 63");
    EXPECT_EQ(DifferingBitsText(5, 5), "no bit");
    EXPECT_EQ(FormatBandwidth(12.34e9), "12.3 GB/s");
}

}  // namespace
