#include "cli/run_report.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/status_line.h"
#include "platform/json.h"
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

TEST(RunReport, AttributesEachErrorAndGivesTheVerdict) {
    RunSettings settings;
    settings.threads = 2;
    settings.durationSeconds = 600;
    ReportTimes times;
    times.start = 0;
    times.end = 66;
    times.endReason = "SIGTERM";
    const std::string report = FormatJson(BuildRunReport(OneFailingProcessor(), settings, times, 2.4454e9), true);
    for (const char* field :
         {"\"verdict\":\"failed\"", "\"failing_processors\":[3]", "\"error_count\":1", "\"start_time\":\"1970-01-01T00:00:00Z\"",
          "\"end_time\":\"1970-01-01T00:01:06Z\"", "\"end_reason\":\"SIGTERM\"", "\"run_seconds\":65.25",
          "\"time_stamp_mhz\":2445.4", "\"effective_clock_mhz\":3210", "\"core\":null", "\"first_error_seconds\":12.5",
          "\"first_error_seconds\":null", "\"threads\":2", "\"duration_seconds\":600", "\"ferrox_version\":\""}) {
        EXPECT_NE(report.find(field), std::string::npos) << field << " in " << report;
    }
    // The error names where it happened and both digests.
    const std::string error = FormatJson(ErrorJson(OneFailingProcessor().errorList.front()), true);
    EXPECT_NE(error.find("\"processor\":3"), std::string::npos) << error;
    EXPECT_NE(error.find("\"worker\":1"), std::string::npos) << error;
    EXPECT_NE(error.find("0000000000000055"), std::string::npos) << error;
    EXPECT_NE(error.find("0000000000000054"), std::string::npos) << error;
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
