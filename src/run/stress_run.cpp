#include "run/stress_run.h"

#include <algorithm>
#include <cstdlib>

#include "check/fault_injection.h"
#include "ferrox_version.h"
#include "load/cpu_identity.h"
#include "load/placement.h"
#include "load/seconds_clock.h"
#include "platform/processors.h"
#include "run/run_text.h"

namespace {

const ProcessorPlace* PlaceOf(int processor) {
    for (const ProcessorPlace& place : AllowedProcessors())
        if (place.processor == processor) return &place;
    return nullptr;
}

std::string PlaceText(int processor) {
    const ProcessorPlace* place = PlaceOf(processor);
    return DescribeProcessor(processor, place != nullptr ? place->core : -1, place != nullptr ? place->package : -1);
}

std::vector<int> AscendingProcessors() {
    std::vector<int> processors;
    for (const ProcessorPlace& place : AllowedProcessors()) processors.push_back(place.processor);
    return processors;
}

}  // namespace

const char* VerdictWord(Verdict verdict) { return verdict == Verdict::Failed ? "FAILED" : "PASSED"; }

StressRun::StressRun(RunLog log) : m_log(std::move(log)) {}

StressRun::~StressRun() = default;

double StressRun::ElapsedSeconds() const { return m_begun ? static_cast<double>(GetSeconds()) - m_start : 0.0; }

void StressRun::BeginRun(const RunSettings& settings) {
    m_settings = settings;
    m_start = static_cast<double>(GetSeconds());
    m_begun = true;
    m_ended = false;
    if (const char* inject = std::getenv("FERROX_INJECT_FAULT"); inject != nullptr) {
        FaultPlan plan;
        std::string error;
        if (ParseFaultInjection(inject, &plan, &error)) {
            m_injector = std::make_unique<FaultInjector>(plan);
            m_startNotes.push_back("FERROX_INJECT_FAULT: the check on processor " + std::to_string(plan.processor) +
                                   " will report one flipped bit after " + std::to_string(plan.afterChecks) +
                                   " good checks there");
        } else {
            m_startNotes.push_back("FERROX_INJECT_FAULT=" + std::string(inject) + " ignored: " + error);
        }
    }
    SetFaultInjector(m_injector.get());
    SetPinning(settings.pin);
    SetStopOnError(settings.stopOnError);
    SetLoadChoice(settings.load);
    const PriorityPair pair = PriorityPairOf(settings.priority);
    SetPriorityPair(pair.priorityClass, pair.threadPriority);

    const CpuIdentity cpu = ReadCpuIdentity();
    LoadKernelKind kind = LoadKernelKind::X87;
    const bool runs = ChosenKernel(&kind);
    m_log.Write(std::string("start: Ferrox ") + kFerroxVersion + " on " + cpu.model + " (" + cpu.vendor + "), " +
                std::to_string(AllowedProcessors().size()) + " logical processors on " +
                std::to_string(CountPhysicalCores(AllowedProcessors())) + " cores; " +
                DescribeSettings(settings, runs ? LoadKernelName(kind) : "not supported here"));
    for (const std::string& note : m_startNotes) m_log.Write("note: " + note);
    if (!runs) {
        const std::string note = std::string("this processor or system cannot run the ") + LoadChoiceKey(settings.load) +
                                 " load: nothing is loaded";
        m_startNotes.push_back(note);
        m_log.Write("note: " + note);
    }
    StartMonitor();
    StartLoad();
}

void StressRun::StartMonitor() {
    const SysfsRoot root = m_sensorRoot ? *m_sensorRoot : SysfsRoot::FromEnvironment();
    m_monitor = std::make_unique<RunMonitor>(TallyCount(), root);
    m_nextMonitorSample = 1.0;
    if (!root.IsUsable()) {
        // Only a root the user chose can be wrong: say so where they look.
        m_startNotes.push_back(root.Problem());
        m_log.Write("note: " + root.Problem());
    } else if (!m_monitor->HasSensors()) {
        m_log.Write("note: sensors: " + m_monitor->SensorProblem() + "; the effective clock is measured by the workers");
    }
    m_monitor->Start();
}

std::vector<std::string> StressRun::TakeStartNotes() {
    std::vector<std::string> notes;
    notes.swap(m_startNotes);
    if (std::string problem = m_log.TakeNewProblem(); !problem.empty()) notes.push_back("the log is not kept: " + problem);
    return notes;
}

std::vector<std::string> StressRun::TakeEndNotes() {
    std::vector<std::string> notes;
    notes.swap(m_endNotes);
    return notes;
}

void StressRun::StartLoad() {
    if (m_settings.cycleSeconds > 0) {
        m_cycler = CoreCycler(AscendingProcessors(), m_settings.cycleSeconds, ElapsedSeconds());
        StartWorkers(1);
        if (WorkerContext* worker = Context(0)) worker->targetProcessor = m_cycler.ProcessorAt(ElapsedSeconds());
    } else {
        m_cycler = CoreCycler();
        StartWorkers(m_settings.threads == 0 ? static_cast<unsigned>(AllowedProcessors().size()) : m_settings.threads);
    }
}

void StressRun::RunThreads(unsigned count) {
    m_settings.threads = count;
    m_settings.cycleSeconds = 0;
    m_cycler = CoreCycler();
    StartWorkers(count);
}

void StressRun::RunCycling(unsigned periodSeconds) {
    m_settings.cycleSeconds = periodSeconds > 0 ? periodSeconds : 60;
    StartLoad();
}

void StressRun::ChangePriority(PriorityChoice choice) {
    m_settings.priority = choice;
    const PriorityPair pair = PriorityPairOf(choice);
    // Workers that could not come back to the new pair are restarted: the cycling one keeps its place.
    if (SetPriorityPair(pair.priorityClass, pair.threadPriority) && m_cycler.Active()) {
        if (WorkerContext* worker = Context(0)) worker->targetProcessor = m_cycler.ProcessorAt(ElapsedSeconds());
    }
}

void StressRun::ChangeLoad(LoadChoice choice) {
    m_settings.load = choice;
    SetLoadChoice(choice);
    StartLoad();
}

void StressRun::ChangePinning(bool pin) {
    m_settings.pin = pin;
    SetPinning(pin);
    if (!m_cycler.Active()) StartLoad();
}

void StressRun::ChangeStopOnError(bool stop) {
    m_settings.stopOnError = stop;
    SetStopOnError(stop);
}

void StressRun::Note(RunPoll& poll, const std::string& note) {
    poll.notes.push_back(note);
    m_log.Write("note: " + note);
}

void StressRun::TakeEvent(const WorkerEvent& event, RunPoll& poll) {
    if (event.kind == WorkerEventKind::PinRefused) {
        Note(poll, PlaceText(event.processor) + " refused the worker (offline, or outside the processors this process "
                                                "may use): skipped");
        m_cycler.Refuse(event.processor, ElapsedSeconds());
        return;
    }
    RunError error;
    error.seconds = event.seconds - m_start;
    error.worker = event.worker;
    error.processor = event.processor;
    if (const ProcessorPlace* place = PlaceOf(event.processor)) {
        error.core = place->core;
        error.package = place->package;
    }
    error.part = event.part;
    error.expected = event.expected;
    error.obtained = event.obtained;
    ++m_errorCount;
    poll.firstError = poll.firstError || m_errorCount == 1;
    if (m_errors.size() < kMaxErrorsKept) m_errors.push_back(error);
    poll.newErrors.push_back(error);
    m_log.Write("error at " + FormatRunTime(error.seconds, true) + ": " + DescribeError(error));
}

RunPoll StressRun::Poll() {
    RunPoll poll;
    for (const auto& context : ContextsInUse()) {
        WorkerEvent event;
        while (context->report.events.Pop(&event)) TakeEvent(event, poll);
    }
    if (m_cycler.Active()) {
        if (WorkerContext* worker = Context(0)) {
            const int target = m_cycler.ProcessorAt(ElapsedSeconds());
            if (target != worker->targetProcessor.load()) {
                worker->targetProcessor = target;
                m_log.Write("cycling: the worker moves to " + (target >= 0 ? PlaceText(target) : "no processor"));
            }
        }
    }
    // Each new effective-clock measurement, once.
    m_checksSeen.resize(static_cast<std::size_t>(TallyCount()), 0);
    for (int processor = 0; processor < TallyCount(); ++processor) {
        const ProcessorTally* tally = Tally(processor);
        const std::uint64_t checks = tally->checks.load() + tally->errors.load();
        const double hz = tally->coreClockHz.load();
        if (checks == m_checksSeen[processor] || hz <= 0.0) continue;
        m_checksSeen[processor] = checks;
        if (m_monitor) m_monitor->PublishClock(processor, hz);
        m_clock.minimumHz = m_clock.samples == 0 ? hz : std::min(m_clock.minimumHz, hz);
        m_clock.maximumHz = std::max(m_clock.maximumHz, hz);
        m_clockSum += hz;
        ++m_clock.samples;
        m_clock.meanHz = m_clockSum / static_cast<double>(m_clock.samples);
    }
    // The monitor's history and throttling, once a second.
    if (m_monitor && ElapsedSeconds() >= m_nextMonitorSample) {
        m_monitor->Sample(ElapsedSeconds());
        m_nextMonitorSample = ElapsedSeconds() + 1.0;
    }
    // Each throttling episode once, when it has ended (the run's end ends them all).
    if (m_monitor) {
        for (const ThrottleEpisode& episode : m_monitor->TakeEndedThrottling())
            Note(poll, DescribeThrottleEpisode(episode, PlaceText(episode.processors.front())));
        for (const std::string& note : m_monitor->TakeNotes()) Note(poll, note);
    }
    if (std::string problem = m_log.TakeNewProblem(); !problem.empty()) poll.notes.push_back("the log is not kept: " + problem);
    return poll;
}

bool StressRun::DurationReached() const {
    return m_begun && m_settings.durationSeconds > 0 && ElapsedSeconds() >= m_settings.durationSeconds;
}

void StressRun::EndRun(const std::string& reason) {
    if (!m_begun || m_ended) return;
    m_ended = true;
    // The workers as they ended, their last passes included, stay in the summary.
    // (Lingering workers of an earlier setting are not among them.)
    std::vector<std::shared_ptr<WorkerContext>> running;
    for (const std::shared_ptr<WorkerContext>& context : ContextsInUse())
        if (Context(context->slot) == context.get()) running.push_back(context);
    StopWorkers();
    WaitForStoppedWorkers();  // their last passes' checks count too
    if (m_monitor) m_monitor->Stop();
    std::sort(running.begin(), running.end(), [](const auto& a, const auto& b) { return a->slot < b->slot; });
    for (const auto& context : running) m_endedWorkers.push_back(WorkerResultOf(*context));
    m_endNotes = Poll().notes;  // throttling that ended with the run, among others
    const RunSummary summary = Summary();
    std::string line = "end after " + FormatRunTime(summary.elapsedSeconds) + " (" + reason + "): " +
                       VerdictWord(summary.verdict) + ", " + std::to_string(summary.checks) + " checks, " +
                       std::to_string(summary.errors) + (summary.errors == 1 ? " error" : " errors");
    if (!summary.failingProcessors.empty()) line += "; " + FailingProcessorsText(summary.failingProcessors);
    m_log.Write(line);
}

WorkerResult StressRun::WorkerResultOf(const WorkerContext& context) {
    const WorkerReport& report = context.report;
    WorkerResult worker;
    worker.worker = context.slot;
    worker.processor = report.processor.load();
    worker.kernel = static_cast<LoadKernelKind>(std::max(0, report.kernel.load()));
    worker.state = report.state.load();
    worker.passes = report.passes.load();
    worker.checks = report.checks.load();
    worker.errors = report.errors.load();
    worker.loadedSeconds = static_cast<double>(report.loadedNanoseconds.load()) * 1e-9;
    worker.coreClockHz = report.coreClockHz.load();
    return worker;
}

RunSummary StressRun::Summary() const {
    RunSummary summary;
    summary.elapsedSeconds = ElapsedSeconds();
    summary.kernelRuns = ChosenKernel(&summary.kernel);
    for (const ProcessorPlace& place : AllowedProcessors()) {
        const ProcessorTally* tally = Tally(place.processor);
        if (tally == nullptr) continue;
        ProcessorResult result;
        result.processor = place.processor;
        result.core = place.core;
        result.package = place.package;
        result.loadedSeconds = static_cast<double>(tally->loadedNanoseconds.load()) * 1e-9;
        result.checks = tally->checks.load();
        result.errors = tally->errors.load();
        const double firstError = tally->firstErrorSeconds.load();
        result.firstErrorSeconds = firstError >= 0.0 ? firstError - m_start : -1.0;
        result.coreClockHz = tally->coreClockHz.load();
        result.failed = tally->failed.load();
        summary.checks += result.checks;
        if (result.errors > 0) summary.failingProcessors.push_back(result.processor);
        if (result.loadedSeconds > 0.0 || result.checks > 0 || result.errors > 0) summary.processors.push_back(result);
    }
    if (m_ended) {
        summary.workers = m_endedWorkers;
    } else {
        for (unsigned slot = 0; slot < WorkerSlotCount(); ++slot)
            if (const WorkerContext* context = Context(slot)) summary.workers.push_back(WorkerResultOf(*context));
    }
    // Errors counted by the tallies but whose events are not taken yet count too.
    std::uint64_t tallied = 0;
    for (const ProcessorResult& result : summary.processors) tallied += result.errors;
    summary.errors = std::max(m_errorCount, tallied);
    summary.verdict = summary.errors > 0 ? Verdict::Failed : Verdict::NoErrors;
    summary.errorList = m_errors;
    summary.coreClock = m_clock;
    summary.logPath = m_log.Path();
    summary.logProblem = m_log.Problem();
    if (m_monitor) {
        const MonitorHeadline headline = m_monitor->Headline();
        summary.hottestCelsius = headline.hottestCelsius;
        summary.hottestLabel = headline.hottestLabel;
        summary.packageWatts = headline.packageWatts;
        summary.throttleEvents = m_monitor->Throttling().Count();
    }
    return summary;
}
