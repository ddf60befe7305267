#pragma once
// The run's figures for the monitoring a fleet already runs: a file in Prometheus' text format,
// rewritten every few seconds while the run goes on and once more at its end, for node_exporter's
// textfile collector (which serves every *.prom file of its folder). Each write replaces the whole
// file in one step, so the collector never reads half of one.

#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "run/run_log.h"
#include "run/run_summary.h"

class StressRun;

// What the figures carry besides the summary.
struct MetricsContext {
    std::string machine;  // the machine's name
    std::string version;  // Ferrox's
    double startUnixSeconds = 0.0;    // when the run started (Unix time)
    double updatedUnixSeconds = 0.0;  // when these figures were taken
    bool ended = false;               // the run is over and its verdict final
    // Bytes per second a memory load moved; NaN while no memory load runs (then not written).
};

// The exposition: every family with its # HELP and # TYPE; a figure the machine or the run does
// not have yet (a sensor, a processor's clock before its first measurement) is left out, never
// written as a made-up value.
std::string FormatMetrics(const RunSummary& summary, const MetricsContext& context);

// A label value as the text format wants it: backslash, double quote and line break escaped;
// other control characters and bytes that are not UTF-8 become '?' (the format has no escape for
// them, and a collector refuses a file that holds one).
std::string EscapeLabelValue(std::string_view text);

class MetricsFile {
public:
    // Run seconds between two writes while the run goes on.
    static constexpr double kIntervalSeconds = 5.0;

    explicit MetricsFile(std::string path);
    const std::string& Path() const { return m_path; }

    // At every poll of the run: writes its figures when none are written yet, kIntervalSeconds
    // after the last write, and at once when the run has ended (its final figures). A write that
    // fails is one warning on stderr and in the log for the whole run; later writes are tried all
    // the same, silently.
    void Update(StressRun& run);
    // After the run: writes its final figures; false, with a line on stderr and in the log, when
    // they could not be written (the exit status then says so, as for the report).
    bool Finish(StressRun& run);

    // The same without a StressRun. summary is called only when a write is due.
    void Update(double runSeconds, bool ended, const std::function<RunSummary()>& summary, RunLog* log);
    bool Finish(const RunSummary& summary, RunLog* log);

    // The memory load's latest bandwidth, for the next writes (NaN: none runs, none written).

private:
    bool Write(const RunSummary& summary, double runSeconds, bool ended, std::string* error);

    std::string m_path;
    std::string m_machine;
    double m_startUnixSeconds = -1.0;  // fixed at the first write
    double m_lastWriteSeconds = 0.0;   // run time of the last write attempt
    bool m_attempted = false;
    bool m_endWritten = false;
    bool m_warned = false;
};
