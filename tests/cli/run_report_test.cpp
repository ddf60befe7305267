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

}  // namespace
