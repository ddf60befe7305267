#include "cli/status_line.h"

#include <cmath>
#include <cstdio>

#include "cli/memory_report.h"
#include "cli/run_report.h"
#include "platform/json.h"
#include "run/run_settings.h"
#include "run/run_text.h"

namespace {
// The loaded processors' latest effective clocks, averaged; 0 before the first measurement.
double CurrentCoreClockHz(const RunSummary& summary) {
    double sum = 0.0;
    int measured = 0;
    for (const ProcessorResult& processor : summary.processors) {
        if (processor.coreClockHz <= 0.0) continue;
        sum += processor.coreClockHz;
        ++measured;
    }
    return measured > 0 ? sum / measured : 0.0;
}

// The processor that got the smallest share of the time it was meant to be loaded (null: none yet).
const ProcessorResult* LeastLoaded(const RunSummary& summary) {
    const ProcessorResult* least = nullptr;
    for (const ProcessorResult& processor : summary.processors)
        if (processor.loadedShare >= 0.0 && (least == nullptr || processor.loadedShare < least->loadedShare)) least = &processor;
    return least;
}

std::string LoadedShareText(const RunSummary& summary) {
    const ProcessorResult* least = LeastLoaded(summary);
    if (least == nullptr) return {};
    char text[96];
    std::snprintf(text, sizeof text, "loaded %.0f%% or more (least: processor %d)", 100.0 * least->loadedShare,
                  least->processor);
    return text;
}
}  // namespace

std::string StatusText(const RunSummary& summary, double timeStampHz) {
    char text[256];
    std::snprintf(text, sizeof text, "%s at %.1f MHz, cores %.1f MHz, %llu checks passed, %llu %s",
                  FormatRunTime(summary.elapsedSeconds).c_str(), timeStampHz * 1e-6,
                  CurrentCoreClockHz(summary) * 1e-6, static_cast<unsigned long long>(summary.checks),
                  static_cast<unsigned long long>(summary.errors), summary.errors == 1 ? "error" : "errors");
    std::string line = text;
    if (const std::string hottest = TemperatureText(summary.hottestCelsius, {}); !hottest.empty()) line += ", hottest " + hottest;
    if (std::isfinite(summary.packageWatts)) {
        std::snprintf(text, sizeof text, ", package %.1f W", summary.packageWatts);
        line += text;
    }
    if (summary.throttleEvents > 0) line += ", throttled " + std::to_string(summary.throttleEvents) + "x";
    line += MemoryStatusText(summary.memory);
    if (const std::string loaded = LoadedShareText(summary); !loaded.empty()) line += ", " + loaded;
    if (!summary.failingProcessors.empty()) line += " - " + FailingProcessorsText(summary.failingProcessors);
    return line;
}

std::string StatusJson(const RunSummary& summary, double timeStampHz) {
    JsonValue status = JsonValue::MakeObject();
    status.Set("run_seconds", static_cast<double>(static_cast<long long>(summary.elapsedSeconds * 10.0)) / 10.0);
    status.Set("time_stamp_mhz", Megahertz(timeStampHz));
    status.Set("effective_clock_mhz", Megahertz(CurrentCoreClockHz(summary)));
    status.Set("checks", summary.checks);
    status.Set("errors", summary.errors);
    status.Set("hottest_celsius", Rounded(summary.hottestCelsius));
    status.Set("package_watts", Rounded(summary.packageWatts));
    status.Set("throttle_events", static_cast<std::uint64_t>(summary.throttleEvents));
    JsonValue workers = JsonValue::MakeArray();
    for (const WorkerResult& worker : summary.workers) workers.Append(WorkerJson(worker));
    status.Set("workers", workers);
    JsonValue shares = JsonValue::MakeObject();
    for (const ProcessorResult& processor : summary.processors)
        if (processor.loadedShare >= 0.0)
            shares.Set(std::to_string(processor.processor), std::round(processor.loadedShare * 1000.0) / 1000.0);
    status.Set("loaded_share", shares);
    if (summary.memory.ran) {
        status.Set("memory_gb_per_second", GigabytesPerSecond(summary.memory.bytesPerSecond));
        status.Set("verified_blocks", summary.memory.blocksVerified);
    }
    return FormatJson(status, true);
}

std::string SummaryText(const RunSummary& summary, const std::string& reason) {
    std::string line = VerdictText(summary) + " after " + FormatRunTime(summary.elapsedSeconds) +
                       " (" + reason + "): " + std::to_string(summary.checks) + " checks passed, " +
                       std::to_string(summary.errors) + (summary.errors == 1 ? " error" : " errors");
    if (const std::string loaded = LoadedShareText(summary); !loaded.empty()) line += "; " + loaded;
    if (summary.loadSpells.size() > 1) line += "; loads: " + LoadSpellsText(summary);
    if (summary.memory.ran) {
        line += "; " + std::string(LoadKernelName(summary.memory.kernel)) + " " + FormatBandwidth(summary.memory.meanBytesPerSecond);
        if (summary.memory.kernel == LoadKernelKind::Memory) line += ", " + std::to_string(summary.memory.blocksVerified) + " blocks verified";
    }
    if (!summary.failingProcessors.empty()) line += ". " + FailingProcessorsText(summary.failingProcessors);
    return line;
}

std::string LoadSpellsText(const RunSummary& summary) {
    std::string text;
    for (const LoadSpell& spell : summary.loadSpells) {
        if (!text.empty()) text += ", ";
        text += spell.kernel + " at " + PriorityChoiceKey(spell.priority) + " " + FormatRunTime(spell.seconds);
    }
    return text;
}

std::string SummaryJson(const RunSummary& summary, const std::string& reason, int exitStatus, const PlanResult* plan) {
    JsonValue line = JsonValue::MakeObject();
    line.Set("summary", true);
    line.Set("verdict", VerdictKey(summary.verdict));
    line.Set("verdict_reason", summary.verdictReason.empty() ? JsonValue() : JsonValue(summary.verdictReason));
    line.Set("exit_status", exitStatus);
    line.Set("end_reason", reason);
    line.Set("run_seconds", std::round(summary.elapsedSeconds * 10.0) / 10.0);
    line.Set("checks", summary.checks);
    line.Set("errors", summary.errors);
    JsonValue failing = JsonValue::MakeArray();
    for (int processor : summary.failingProcessors) failing.Append(processor);
    line.Set("failing_processors", failing);
    const ProcessorResult* least = LeastLoaded(summary);
    line.Set("lowest_loaded_share", least != nullptr ? JsonValue(std::round(least->loadedShare * 1000.0) / 1000.0) : JsonValue());
    if (plan != nullptr) line.Set("plan", PlanJson(*plan));
    return FormatJson(line, true);
}
