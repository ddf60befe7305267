#include "cli/run_report.h"

#include <cmath>
#include <cstdio>

#include "cli/memory_report.h"
#include "ferrox_version.h"
#include "load/cpu_identity.h"
#include "load/placement.h"
#include "platform/processors.h"
#include "platform/system_info.h"
#include "run/run_text.h"

namespace {

std::string IsoTime(std::time_t time) {
    char text[32] = "";
    if (const std::tm* utc = std::gmtime(&time)) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
    return text;
}

const char* WorkerStateKey(WorkerState state) {
    switch (state) {
    case WorkerState::Starting: return "starting";
    case WorkerState::Loading: return "loading";
    case WorkerState::Failed: return "stopped after an error";
    case WorkerState::Hung: return "stopped responding";
    default: return "ended";
    }
}

JsonValue Seconds(double seconds) { return std::round(seconds * 1000.0) / 1000.0; }

JsonValue OrNull(int value) { return value >= 0 ? JsonValue(value) : JsonValue(); }

std::string HexAddress(std::uint64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(address));
    return text;
}

}  // namespace

JsonValue Rounded(double value) { return std::isfinite(value) ? JsonValue(std::round(value * 10.0) / 10.0) : JsonValue(); }

namespace {
// Each series' whole-run min, mean and max, and every throttling seen.
JsonValue MonitorJson(const RunMonitor& monitor) {
    JsonValue part = JsonValue::MakeObject();
    part.Set("sensors_found", monitor.HasSensors());
    part.Set("sensor_problem", monitor.HasSensors() ? JsonValue() : JsonValue(monitor.SensorProblem()));
    JsonValue series = JsonValue::MakeArray();
    const TimeSeriesStore& history = monitor.History();
    for (TimeSeriesStore::SeriesId id = 0; id < history.SeriesCount(); ++id) {
        const SeriesSummary summary = history.Summary(id);
        if (summary.samples == 0) continue;
        JsonValue entry = JsonValue::MakeObject();
        entry.Set("key", history.Info(id).key);
        entry.Set("label", history.Info(id).label);
        entry.Set("unit", std::string(UnitKey(history.Info(id).unit)));
        entry.Set("min", summary.min);
        entry.Set("mean", summary.mean);
        entry.Set("max", summary.max);
        entry.Set("samples", summary.samples);
        series.Append(entry);
    }
    part.Set("series", series);
    // Throttling as episodes: the first ones in full, then only how many more there were.
    JsonValue episodes = JsonValue::MakeArray();
    const ThrottleEpisodes& throttling = monitor.Throttling();
    for (const auto* list : {&throttling.Kept(), &throttling.Open()}) {
        for (const ThrottleEpisode& episode : *list) {
            const bool clock = episode.reason == ThrottleReason::kClockDrop;
            JsonValue entry = JsonValue::MakeObject();
            entry.Set("reason", std::string(ThrottleReasonKey(episode.reason)));
            entry.Set("package", OrNull(episode.package));
            entry.Set("core", OrNull(episode.core));
            JsonValue processors = JsonValue::MakeArray();
            for (const int processor : episode.processors) processors.Append(processor);
            entry.Set("processors", processors);
            entry.Set("start_seconds", Seconds(episode.startSeconds));
            entry.Set("end_seconds", Seconds(episode.endSeconds));
            entry.Set("counts", clock ? JsonValue() : JsonValue(episode.counts));
            entry.Set("clock_mhz", clock ? Megahertz(episode.lowestHertz) : JsonValue());
            entry.Set("median_mhz", clock ? Megahertz(episode.medianHertz) : JsonValue());
            episodes.Append(entry);
        }
    }
    JsonValue throttlingPart = JsonValue::MakeObject();
    throttlingPart.Set("episode_count", static_cast<std::uint64_t>(throttling.Count()));
    throttlingPart.Set("episodes", episodes);
    throttlingPart.Set("episodes_not_listed", static_cast<std::uint64_t>(throttling.NotKept()));
    part.Set("throttling", throttlingPart);
    return part;
}
}  // namespace

JsonValue Megahertz(double hz) { return hz > 0.0 ? JsonValue(std::round(hz * 1e-5) / 10.0) : JsonValue(); }

JsonValue WorkerJson(const WorkerResult& worker) {
    JsonValue value = JsonValue::MakeObject();
    value.Set("worker", worker.worker);
    value.Set("processor", OrNull(worker.processor));
    value.Set("kernel", LoadKernelName(worker.kernel));
    value.Set("state", WorkerStateKey(worker.state));
    value.Set("passes", worker.passes);
    value.Set("checks", worker.checks);
    value.Set("errors", worker.errors);
    value.Set("loaded_seconds", Seconds(worker.loadedSeconds));
    value.Set("effective_clock_mhz", Megahertz(worker.coreClockHz));
    value.Set("restarts", worker.restarts);
    return value;
}

JsonValue ProcessorJson(const ProcessorResult& processor) {
    JsonValue value = JsonValue::MakeObject();
    value.Set("processor", processor.processor);
    value.Set("core", OrNull(processor.core));
    value.Set("package", OrNull(processor.package));
    value.Set("loaded_seconds", Seconds(processor.loadedSeconds));
    value.Set("assigned_seconds", Seconds(processor.assignedSeconds));
    value.Set("loaded_share", processor.loadedShare >= 0.0 ? JsonValue(std::round(processor.loadedShare * 1000.0) / 1000.0)
                                                           : JsonValue());
    value.Set("checks", processor.checks);
    value.Set("errors", processor.errors);
    value.Set("first_error_seconds", processor.firstErrorSeconds >= 0.0 ? Seconds(processor.firstErrorSeconds) : JsonValue());
    value.Set("effective_clock_mhz", Megahertz(processor.coreClockHz));
    value.Set("failed", processor.failed);
    return value;
}

JsonValue ErrorJson(const RunError& error) {
    const bool check = error.kind == RunErrorKind::CheckFailed;
    JsonValue value = JsonValue::MakeObject();
    value.Set("kind", RunErrorKindKey(error.kind));
    value.Set("seconds", Seconds(error.seconds));
    value.Set("worker", error.worker);
    value.Set("processor", error.processor);
    value.Set("core", OrNull(error.core));
    value.Set("package", OrNull(error.package));
    value.Set("moved_to_processor", OrNull(error.endProcessor));
    value.Set("check", check ? JsonValue(CheckPartName(error.part)) : JsonValue());
    const bool values = check || error.kind == RunErrorKind::WordMismatch;
    value.Set("expected", values ? JsonValue(FormatDigest(error.expected)) : JsonValue());
    value.Set("obtained", values ? JsonValue(FormatDigest(error.obtained)) : JsonValue());
    value.Set("fault", error.kind == RunErrorKind::Crashed ? JsonValue(error.faultName) : JsonValue());
    value.Set("fault_address", error.kind == RunErrorKind::Crashed && error.faultAddress != 0
                                   ? JsonValue(HexAddress(error.faultAddress))
                                   : JsonValue());
    value.Set("stuck_seconds", error.kind == RunErrorKind::StoppedResponding ? Seconds(error.stuckSeconds) : JsonValue());
    AddMismatchJson(error, &value);
    return value;
}

JsonValue PlanJson(const PlanResult& plan) {
    JsonValue value = JsonValue::MakeObject();
    value.Set("name", plan.name);
    value.Set("verdict", VerdictKey(plan.verdict));
    JsonValue phases = JsonValue::MakeArray();
    for (const PhaseResult& phase : plan.phases) {
        JsonValue entry = JsonValue::MakeObject();
        entry.Set("name", phase.name);
        entry.Set("description", phase.description);
        entry.Set("planned_seconds", Seconds(phase.plannedSeconds));
        entry.Set("ran", phase.ran);
        entry.Set("ran_seconds", phase.ran ? Seconds(phase.ranSeconds) : JsonValue());
        entry.Set("checks", phase.checks);
        entry.Set("errors", phase.errors);
        entry.Set("verdict", phase.ran ? JsonValue(VerdictKey(phase.verdict)) : JsonValue("not run"));
        entry.Set("verdict_reason", phase.verdictReason.empty() ? JsonValue() : JsonValue(phase.verdictReason));
        phases.Append(entry);
    }
    value.Set("phases", phases);
    return value;
}

JsonValue BuildRunReport(const RunSummary& summary, const RunSettings& settings, const ReportTimes& times,
                         double timeStampHz, const RunMonitor* monitor, const PlanResult* plan) {
    JsonValue report = JsonValue::MakeObject();
    report.Set("ferrox_version", kFerroxVersion);
    report.Set("start_time", IsoTime(times.start));
    report.Set("end_time", IsoTime(times.end));
    report.Set("run_seconds", Seconds(summary.elapsedSeconds));
    report.Set("end_reason", times.endReason);

    const CpuIdentity cpu = ReadCpuIdentity();
    JsonValue machine = JsonValue::MakeObject();
    machine.Set("name", MachineName());
    machine.Set("processor_model", cpu.model);
    machine.Set("vendor", cpu.vendor);
    JsonValue features = JsonValue::MakeArray();
    for (const std::string& feature : cpu.features) features.Append(feature);
    machine.Set("features", features);
    const std::vector<ProcessorPlace>& places = AllowedProcessors();
    machine.Set("logical_processors", static_cast<unsigned>(places.size()));
    machine.Set("physical_cores", CountPhysicalCores(places));
    report.Set("machine", machine);

    JsonValue chosen = JsonValue::MakeObject();
    chosen.Set("threads", settings.threads == 0 ? JsonValue("auto") : JsonValue(settings.threads));
    chosen.Set("cycle_seconds", settings.cycleSeconds > 0 ? JsonValue(settings.cycleSeconds) : JsonValue());
    chosen.Set("priority", PriorityChoiceKey(settings.priority));
    chosen.Set("applied_priority", PriorityChoiceKey(summary.appliedPriority));
    chosen.Set("load", LoadChoiceKey(settings.load));
    chosen.Set("kernel", summary.kernelRuns ? JsonValue(LoadKernelName(summary.kernel)) : JsonValue());
    chosen.Set("pin", settings.pin);
    chosen.Set("stop_on_error", settings.stopOnError);
    chosen.Set("duration_seconds", settings.durationSeconds > 0 ? Seconds(settings.durationSeconds) : JsonValue());
    JsonValue limits = JsonValue::MakeObject();
    limits.Set("max_celsius", Rounded(summary.limitCelsius));
    limits.Set("max_celsius_source", summary.limitSource);
    limits.Set("max_watts", Rounded(summary.limitWatts));
    chosen.Set("limits", limits);
    report.Set("settings", chosen);

    JsonValue spells = JsonValue::MakeArray();
    for (const LoadSpell& spell : summary.loadSpells) {
        JsonValue entry = JsonValue::MakeObject();
        entry.Set("kernel", spell.kernel);
        entry.Set("priority", PriorityChoiceKey(spell.priority));
        entry.Set("seconds", Seconds(spell.seconds));
        spells.Append(entry);
    }
    report.Set("loads", spells);

    JsonValue processors = JsonValue::MakeArray();
    for (const ProcessorResult& processor : summary.processors) processors.Append(ProcessorJson(processor));
    report.Set("processors", processors);
    JsonValue workers = JsonValue::MakeArray();
    for (const WorkerResult& worker : summary.workers) workers.Append(WorkerJson(worker));
    report.Set("workers", workers);
    JsonValue errors = JsonValue::MakeArray();
    for (const RunError& error : summary.errorList) errors.Append(ErrorJson(error));
    report.Set("errors", errors);

    JsonValue clock = JsonValue::MakeObject();
    clock.Set("time_stamp_mhz", Megahertz(timeStampHz));
    JsonValue effective = JsonValue::MakeObject();
    effective.Set("min_mhz", Megahertz(summary.coreClock.min));
    effective.Set("mean_mhz", Megahertz(summary.coreClock.mean));
    effective.Set("max_mhz", Megahertz(summary.coreClock.max));
    effective.Set("samples", summary.coreClock.samples);
    clock.Set("effective", effective);
    report.Set("clock", clock);
    JsonValue sensors = JsonValue::MakeObject();
    sensors.Set("hottest_celsius", Rounded(summary.hottestCelsius));
    sensors.Set("hottest_label", std::isfinite(summary.hottestCelsius) ? JsonValue(summary.hottestLabel) : JsonValue());
    sensors.Set("package_watts", Rounded(summary.packageWatts));
    report.Set("sensors", sensors);
    if (monitor != nullptr) report.Set("monitor", MonitorJson(*monitor));
    // Whether the log holds this run, so that a reader knows where (not) to look.
    JsonValue log = JsonValue::MakeObject();
    log.Set("path", summary.logPath.empty() ? JsonValue() : JsonValue(summary.logPath));
    log.Set("kept", !summary.logPath.empty() && summary.logProblem.empty());
    log.Set("problem", summary.logProblem.empty() ? JsonValue() : JsonValue(summary.logProblem));
    report.Set("log", log);
    if (summary.memory.ran) report.Set("memory", MemoryLoadJson(summary.memory));

    report.Set("checks", summary.checks);
    report.Set("error_count", summary.errors);
    JsonValue failing = JsonValue::MakeArray();
    for (int processor : summary.failingProcessors) failing.Append(processor);
    report.Set("failing_processors", failing);
    report.Set("verdict", VerdictKey(summary.verdict));
    if (plan != nullptr) report.Set("plan", PlanJson(*plan));
    report.Set("verdict_reason", summary.verdictReason.empty() ? JsonValue() : JsonValue(summary.verdictReason));
    report.Set("self_checked", summary.selfChecked);
    return report;
}
