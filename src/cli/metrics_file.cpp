#include "cli/metrics_file.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "ferrox_version.h"
#include "platform/files.h"
#include "platform/system_info.h"
#include "run/console_lines.h"
#include "run/stress_run.h"

namespace {

// Shortest text that reads back as the same double.
std::string Number(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string Number(std::uint64_t value) { return std::to_string(value); }

// The length of the UTF-8 sequence at text[at], or 0 when it is not one (overlong forms,
// surrogates and code points past U+10FFFF included).
std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    }
    return length;
}

struct Sample {
    std::string labels;  // "{name=\"value\",...}" or empty
    std::string value;
};

class Exposition {
public:
    // One family, written only when it has samples.
    void Family(const char* name, const char* type, const char* help, const std::vector<Sample>& samples) {
        if (samples.empty()) return;
        m_text.append("# HELP ").append(name).append(" ").append(help).append("\n");
        m_text.append("# TYPE ").append(name).append(" ").append(type).append("\n");
        for (const Sample& sample : samples) m_text.append(name).append(sample.labels).append(" ").append(sample.value).append("\n");
    }
    void One(const char* name, const char* type, const char* help, std::string value) {
        Family(name, type, help, {Sample{"", std::move(value)}});
    }
    // A gauge whose value the machine may not have (NaN): left out then.
    void Measured(const char* name, const char* help, double value) {
        if (std::isfinite(value)) One(name, "gauge", help, Number(value));
    }
    std::string Take() { return std::move(m_text); }

private:
    std::string m_text;
};

std::string Labels(std::initializer_list<std::pair<const char*, std::string>> labels) {
    std::string text;
    for (const auto& [name, value] : labels) {
        text.append(text.empty() ? "{" : ",").append(name).append("=\"").append(EscapeLabelValue(value)).append("\"");
    }
    return text.empty() ? text : text + "}";
}

// A processor's labels: its number, and its core and package where the topology says.
std::string ProcessorLabels(const ProcessorResult& processor) {
    std::string text = "{processor=\"" + std::to_string(processor.processor) + "\"";
    if (processor.core >= 0) text += ",core=\"" + std::to_string(processor.core) + "\"";
    if (processor.package >= 0) text += ",package=\"" + std::to_string(processor.package) + "\"";
    return text + "}";
}

double UnixSecondsNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace

std::string EscapeLabelValue(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        const std::size_t length = Utf8Length(text, at);
        if (length == 0) {
            escaped += '?';
            ++at;
            continue;
        }
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '"') {
            escaped += "\\\"";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if ((static_cast<unsigned char>(c) < 0x20) || c == 0x7F) {
            escaped += '?';
        } else {
            escaped.append(text.substr(at, length));
        }
        at += length;
    }
    return escaped;
}

std::string FormatMetrics(const RunSummary& summary, const MetricsContext& context) {
    Exposition out;
    out.Family("ferrox_run_info", "gauge", "Ferrox's run on this machine, always 1: the machine's name, Ferrox's version and the load kernel.",
               {Sample{Labels({{"machine", context.machine},
                               {"version", context.version},
                               {"kernel", summary.kernelRuns ? LoadKernelName(summary.kernel) : "none"}}),
                       "1"}});
    out.One("ferrox_run_start_timestamp_seconds", "gauge", "When the run started, in seconds since 1970 (UTC).",
            Number(context.startUnixSeconds));
    out.One("ferrox_last_update_timestamp_seconds", "gauge",
            "When Ferrox last wrote these figures, in seconds since 1970 (UTC); it stops advancing once the run has ended.",
            Number(context.updatedUnixSeconds));
    out.One("ferrox_run_seconds", "gauge", "Run time so far, or of the whole run once it has ended.", Number(summary.elapsedSeconds));
    out.One("ferrox_run_ended", "gauge", "1 once the run has ended and its verdict is final, 0 while it goes on.",
            context.ended ? "1" : "0");
    std::vector<Sample> verdicts;
    for (int i = 0; i < kVerdictCount; ++i) {
        const auto verdict = static_cast<Verdict>(i);
        verdicts.push_back({Labels({{"verdict", VerdictKey(verdict)}}), verdict == summary.verdict ? "1" : "0"});
    }
    out.Family("ferrox_verdict", "gauge",
               "1 for the run's verdict, 0 for the others: final once ferrox_run_ended is 1, until then failed from the first "
               "error, else passed (or no errors seen) so far.",
               verdicts);
    out.One("ferrox_checks_total", "counter", "Checks that passed, on every processor.", Number(summary.checks));
    out.One("ferrox_errors_total", "counter", "Errors found: wrong results, workers that crashed or stopped responding.",
            Number(summary.errors));

    std::vector<Sample> checks, errors, shares, clocks;
    for (const ProcessorResult& processor : summary.processors) {
        const std::string labels = ProcessorLabels(processor);
        checks.push_back({labels, Number(processor.checks)});
        errors.push_back({labels, Number(processor.errors)});
        if (processor.loadedShare >= 0.0) shares.push_back({labels, Number(processor.loadedShare)});
        if (processor.coreClockHz > 0.0) clocks.push_back({labels, Number(processor.coreClockHz)});
    }
    out.Family("ferrox_processor_checks_total", "counter", "Checks that passed on this processor.", checks);
    out.Family("ferrox_processor_errors_total", "counter", "Errors attributed to this processor.", errors);
    out.Family("ferrox_processor_loaded_ratio", "gauge",
               "Processor time the workers spent loading this processor over the run time it was meant to be loaded (1: all of it).",
               shares);
    out.Family("ferrox_processor_effective_clock_hertz", "gauge", "The clock this processor last held under the load.", clocks);

    out.Measured("ferrox_hottest_temperature_celsius", "The hottest temperature sensor in the latest sweep.",
                 summary.hottestCelsius);
    out.Measured("ferrox_package_power_watts", "The processor packages' power in the latest sweep, summed.", summary.packageWatts);
    out.One("ferrox_throttling_episodes_total", "counter",
            "Throttling episodes seen: a package or core throttle counter rising, or a clock drop.",
            Number(static_cast<std::uint64_t>(summary.throttleEvents)));
    out.Measured("ferrox_memory_bandwidth_bytes_per_second", "Bytes per second the cache or memory load verified, while one runs.",
                 summary.memory.ran ? summary.memory.bytesPerSecond : std::numeric_limits<double>::quiet_NaN());
    return out.Take();
}

MetricsFile::MetricsFile(std::string path) : m_path(std::move(path)), m_machine(MachineName()) {}

bool MetricsFile::Write(const RunSummary& summary, double runSeconds, bool ended, std::string* error) {
    const double now = UnixSecondsNow();
    if (m_startUnixSeconds < 0.0) m_startUnixSeconds = now - runSeconds;
    MetricsContext context;
    context.machine = m_machine;
    context.version = kFerroxVersion;
    context.startUnixSeconds = m_startUnixSeconds;
    context.updatedUnixSeconds = now;
    context.ended = ended;
    m_attempted = true;
    m_lastWriteSeconds = runSeconds;
    return ReplaceFile(m_path, FormatMetrics(summary, context), error);
}

void MetricsFile::Update(double runSeconds, bool ended, const std::function<RunSummary()>& summary, RunLog* log) {
    if (ended ? m_endWritten : (m_attempted && runSeconds < m_lastWriteSeconds + kIntervalSeconds)) return;
    std::string error;
    const bool written = Write(summary(), runSeconds, ended, &error);
    if (ended) m_endWritten = true;
    if (written || m_warned) return;
    m_warned = true;
    const std::string text = "the metrics file was not written: " + error + " (tried again every " +
                             Number(kIntervalSeconds) + " s, said once)";
    WriteWarning(text);
    if (log != nullptr) log->Write(text);
}

bool MetricsFile::Finish(const RunSummary& summary, RunLog* log) {
    std::string error;
    m_endWritten = true;
    if (Write(summary, summary.elapsedSeconds, true, &error)) return true;
    const std::string text = "the metrics file was not written at the end of the run: " + error;
    WriteWarning(text);
    if (log != nullptr) log->Write(text);
    return false;
}

void MetricsFile::Update(StressRun& run) {
    Update(run.ElapsedSeconds(), run.Ended(), [&run] { return run.Summary(); }, &run.Log());
}

bool MetricsFile::Finish(StressRun& run) { return Finish(run.Summary(), &run.Log()); }
