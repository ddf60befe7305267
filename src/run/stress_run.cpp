#include "run/stress_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "check/fault_injection.h"
#include "ferrox_version.h"
#include "load/cpu_identity.h"
#include "load/placement.h"
#include "load/seconds_clock.h"
#include "platform/fault_guard.h"
#include "platform/priority.h"
#include "platform/processors.h"
#include "platform/large_buffer.h"
#include "platform/memory_status.h"
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

namespace {
// The margin below a sensor's own critical point the default temperature limit keeps.
constexpr double kCriticalMarginCelsius = 5.0;

constexpr const char* kVerdictWords[kVerdictCount] = {"PASSED", "FAILED", "INCOMPLETE", "STOPPED", "NO ERRORS SEEN"};
constexpr const char* kVerdictKeys[kVerdictCount] = {"passed", "failed", "incomplete", "stopped", "no errors seen"};

// A classic mix drops its arithmetic results: its run can say no more than this.
constexpr const char* kClassicReason = "classic mix: results not self-checked";

// A processor meant to be loaded this long must have completed a check by the end.
constexpr double kCheckDueSeconds = 2.0;
// Loaded shares are judged once this much time was meant for a processor.
constexpr double kShareJudgedAfterSeconds = 10.0;
constexpr double kLowestGoodShare = 0.9;

bool IsClassicMix(LoadKernelKind kind) { return kind == LoadKernelKind::Sse || kind == LoadKernelKind::X87; }

std::string JoinedProcessors(const std::vector<int>& processors) {
    std::string text;
    for (std::size_t i = 0; i < processors.size(); ++i) {
        if (i > 0) text += i + 1 == processors.size() ? " and " : ", ";
        text += std::to_string(processors[i]);
    }
    return text;
}
}  // namespace

const char* RunErrorKindKey(RunErrorKind kind) {
    switch (kind) {
    case RunErrorKind::Crashed: return "crashed";
    case RunErrorKind::StoppedResponding: return "stopped responding";
    case RunErrorKind::WordMismatch: return "memory mismatch";
    case RunErrorKind::CheckFailed: break;
    }
    return "check failed";
}

const char* VerdictWord(Verdict verdict) { return kVerdictWords[static_cast<int>(verdict)]; }
const char* VerdictKey(Verdict verdict) { return kVerdictKeys[static_cast<int>(verdict)]; }

std::string VerdictText(const RunSummary& summary) {
    std::string text = VerdictWord(summary.verdict);
    if (!summary.verdictReason.empty()) text += " (" + summary.verdictReason + ")";
    return text;
}

StressRun::StressRun(RunLog log) : m_log(std::move(log)) {
    // The kernels of src/memtest, made on the workers' threads; the factory keeps their state alive.
    SetKernelFactory([loads = m_memtest](LoadKernelKind kind) { return loads->MakeKernel(kind); });
}

StressRun::~StressRun() {
    // The note file is the log: let go of it (Windows keeps an open file's folder from removal).
    if (m_crashNoteSet) SetCrashNoteFile(nullptr);
}

double StressRun::ElapsedSeconds() const {
    if (!m_begun) return 0.0;
    return m_ended ? m_endSeconds : static_cast<double>(GetSeconds()) - m_start;
}

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
            m_startNotes.push_back("FERROX_INJECT_FAULT: " + DescribeFaultPlan(plan));
            if (PlaceOf(plan.processor) == nullptr) {
                m_startNotes.push_back("FERROX_INJECT_FAULT: processor " + std::to_string(plan.processor) +
                                       " is not one this run may load: nothing will be injected");
            }
        } else {
            m_startNotes.push_back("FERROX_INJECT_FAULT=" + std::string(inject) + " ignored: " + error);
        }
    }
    SetFaultInjector(m_injector.get());
    SetPinning(settings.pin);
    SetStopOnError(settings.stopOnError);
    SetDutyCycle(settings.variablePeriodSeconds, settings.variableOnShare);
    SetLoadChoice(settings.load);
    const PriorityPair pair = PriorityPairOf(settings.priority);
    SetPriorityPair(pair.priorityClass, pair.threadPriority);
    ApplyPriority();

    const CpuIdentity cpu = ReadCpuIdentity();
    LoadKernelKind kind = LoadKernelKind::X87;
    const bool runs = ChosenKernel(&kind);
    // The sensors are found first: the start line gives the limits they set.
    const SysfsRoot root = m_sensorRoot ? *m_sensorRoot : SysfsRoot::FromEnvironment();
    m_monitor = std::make_unique<RunMonitor>(TallyCount(), root);
    ResolveLimits();
    m_log.Write(std::string("start: Ferrox ") + kFerroxVersion + " on " + cpu.model + " (" + cpu.vendor + "), " +
                std::to_string(AllowedProcessors().size()) + " logical processors on " +
                std::to_string(CountPhysicalCores(AllowedProcessors())) + " cores; " +
                DescribeSettings(settings, runs ? LoadKernelName(kind) : "not supported here") + "; " + LimitsText());
    for (const std::string& note : m_startNotes) m_log.Write("note: " + note);
    // A crash outside the workers' guarded work still leaves its line in the log.
    if (m_log.Problem().empty()) {
        SetCrashNoteFile(m_log.Path().c_str());
        m_crashNoteSet = true;
    }
    if (!runs) {
        const std::string note = std::string("this processor or system cannot run the ") + LoadChoiceKey(settings.load) +
                                 " load: nothing is loaded";
        m_startNotes.push_back(note);
        m_log.Write("note: " + note);
    }
    StartMonitor();
    StartLoad();
    NextSpell();
}

void StressRun::StartMonitor() {
    const SysfsRoot root = m_sensorRoot ? *m_sensorRoot : SysfsRoot::FromEnvironment();
    m_nextMonitorSample = 1.0;
    if (!root.IsUsable()) {
        // Only a root the user chose can be wrong: say so where they look.
        m_startNotes.push_back(root.Problem());
        m_log.Write("note: " + root.Problem());
    } else if (!m_monitor->HasSensors()) {
        m_log.Write("note: sensors: " + m_monitor->SensorProblem() + "; the effective clock is measured by the workers");
    }
    const bool hadSensors = m_monitor->HasSensors();
    m_monitor->Start();
    if (hadSensors && !m_monitor->HasSensors()) {
        m_startNotes.push_back(m_monitor->SensorProblem());
        m_log.Write("note: " + m_monitor->SensorProblem());
    }
}

void StressRun::ResolveLimits() {
    constexpr double kNone = std::numeric_limits<double>::infinity();
    char text[160];
    m_limitWatts = m_settings.maxWatts > 0.0 ? m_settings.maxWatts : kNone;
    if (m_settings.maxCelsius > 0.0) {
        m_limitCelsius = m_settings.maxCelsius;
        m_limitSource = "chosen";
        return;
    }
    m_limitCelsius = kNone;
    if (m_settings.maxCelsius == kNoLimit) {
        m_limitSource = "none chosen";
        return;
    }
    // The sensors' own critical point, the lowest of them, less a margin.
    const std::vector<CriticalPoint> points = m_monitor ? m_monitor->CriticalPoints() : std::vector<CriticalPoint>();
    const CriticalPoint* lowest = nullptr;
    for (const CriticalPoint& point : points)
        if (lowest == nullptr || point.celsius < lowest->celsius) lowest = &point;
    if (lowest == nullptr) {
        m_limitSource = "none: the processor's sensors publish no critical point";
        return;
    }
    m_limitCelsius = lowest->celsius - kCriticalMarginCelsius;
    std::snprintf(text, sizeof text, "%s %s critical point %.1f \u00b0C less %.0f", lowest->device.c_str(),
                  lowest->label.c_str(), lowest->celsius, kCriticalMarginCelsius);
    m_limitSource = text;
}

std::string StressRun::LimitsText() const {
    char text[96];
    std::string line = "temperature limit ";
    if (std::isfinite(m_limitCelsius)) {
        std::snprintf(text, sizeof text, "%.1f \u00b0C (", m_limitCelsius);
        line += text + m_limitSource + ")";
    } else {
        line += m_limitSource;
    }
    if (std::isfinite(m_limitWatts)) {
        std::snprintf(text, sizeof text, ", power limit %.1f W", m_limitWatts);
        line += text;
    } else {
        line += ", no power limit";
    }
    return line;
}

void StressRun::ChangeTemperatureLimit(double maxCelsius) {
    m_settings.maxCelsius = maxCelsius;
    ResolveLimits();
    m_log.Write("setting at " + FormatRunTime(ElapsedSeconds(), true) + ": " + LimitsText());
}

void StressRun::CheckLimits(RunPoll& poll) {
    if (!m_monitor || !m_limitReached.empty() || m_ended) return;
    char text[200];
    for (const SensorReading& reading : m_monitor->LatestReadings()) {
        const bool hot = reading.unit == MonitorUnit::kCelsius && IsProcessorChip(reading.device) &&
                         reading.value >= m_limitCelsius;
        const bool hungry = reading.unit == MonitorUnit::kWatts && reading.label.rfind("package-", 0) == 0 &&
                            reading.value >= m_limitWatts;
        if (!hot && !hungry) continue;
        std::snprintf(text, sizeof text, hot ? "temperature limit %.1f \u00b0C reached: %s at %.1f \u00b0C after %s"
                                             : "power limit %.1f W reached: %s at %.1f W after %s",
                      hot ? m_limitCelsius : m_limitWatts, reading.label.c_str(), reading.value,
                      FormatRunTime(ElapsedSeconds()).c_str());
        m_limitReached = text;
        poll.limitReached = m_limitReached;
        m_log.Write("limit: " + m_limitReached);
        return;
    }
}

void StressRun::NoteLater(const std::string& note) {
    m_log.Write("note: " + note);
    m_laterNotes.push_back(note);
}

std::vector<std::string> StressRun::TakeStartNotes() {
    std::vector<std::string> notes;
    notes.swap(m_startNotes);
    for (std::string& note : m_laterNotes) notes.push_back(std::move(note));
    m_laterNotes.clear();
    if (std::string problem = m_log.TakeNewProblem(); !problem.empty()) notes.push_back("the log is not kept: " + problem);
    return notes;
}

std::vector<std::string> StressRun::TakeEndNotes() {
    std::vector<std::string> notes;
    notes.swap(m_endNotes);
    return notes;
}

void StressRun::PrepareMemtest() {
    LoadKernelKind kind = LoadKernelKind::X87;
    if (!ChosenKernel(&kind) || kind != LoadKernelKind::Memory) m_memtest->ReleaseMemory();
    if (!ChosenKernel(&kind) || !IsMemoryLoad(kind)) return;
    MemoryLoadSummary summary;
    summary.ran = true;
    summary.kernel = kind;
    if (kind == LoadKernelKind::Cache) {
        const SysfsRoot root = m_sensorRoot ? *m_sensorRoot : SysfsRoot::FromEnvironment();
        m_memtest->PrepareCache(root.Root().string(), AscendingProcessors());
        const CacheRegions& regions = m_memtest->CacheTable()->For(AscendingProcessors().front());
        summary.cacheDataSets = DescribeRegions(regions);
        summary.path = CopyPathName(WidestSweepPath());
        m_log.Write("cache load: data sets of " + summary.cacheDataSets + " per worker (processor " +
                    std::to_string(AscendingProcessors().front()) + "), " + summary.path + " loads and stores");
    } else {
        const MemoryStatus status = m_memoryStatus();
        const MemorySizeDecision decision = DecideMemorySize(m_settings.memory, status);
        if (!decision.note.empty()) NoteLater(decision.note);
        std::string problem;
        if (!decision.fits) {
            NoteLater(decision.problem + ": the memory load does not start");
            m_memtest->ReleaseMemory();
        } else if (!m_memtest->PrepareMemory(decision.bytes, &problem)) {
            NoteLater("the memory load's buffer of " + FormatBytes(decision.bytes) + " could not be had: " + problem);
        }
        if (const std::shared_ptr<MemoryArena> arena = m_memtest->Arena()) {
            const LargeBuffer& buffer = arena->Buffer();
            // One word touched to learn whether the system tells physical addresses here.
            *arena->SlotWords(0) = 0;
            summary.bufferBytes = summary.startBytes = arena->ActiveBytes();
            summary.marginBytes = MemoryMarginBytes(status);
            summary.hugePages = buffer.hugePages;
            summary.locked = buffer.locked;
            summary.physicalAddresses = PhysicalAddressOf(buffer.base) != 0;
            summary.path = CopyPathName(arena->Path());
            m_log.Write("memory load: a buffer of " + FormatBytes(arena->Bytes()) + " at " + FormatAddress(reinterpret_cast<std::uintptr_t>(buffer.base)) +
                        " in " + std::to_string(kBlockBytes / 1024) + " KiB blocks with CRC32C checksums, " + summary.path + " copies, huge pages " +
                        (buffer.hugePages ? "on" : "off") + ", locked " + (buffer.locked ? "yes" : "no") +
                        ", physical addresses " + (summary.physicalAddresses ? "known" : "unknown (not root)") +
                        "; Ferrox leaves " + FormatBytes(summary.marginBytes) + " of the available " +
                        FormatBytes(status.availableBytes) + " to the system");
            if (!buffer.locked && !m_lockWarned) {
                m_lockWarned = true;
                NoteLater("the memory load's buffer is not locked in memory, so the system may swap parts of it out: " +
                          buffer.lockProblem);
            }
            if (!m_killPreferenceSet) {
                m_killPreferenceSet = true;
                const std::string refused = PreferThisProcessWhenOutOfMemory();
                m_log.Write(refused.empty() ? "note: should memory run out, the system ends Ferrox first (oom_score_adj 1000)"
                                            : "note: Ferrox could not ask to be ended first should memory run out: " + refused);
            }
        }
    }
    m_memoryStart = ElapsedSeconds();
    m_memoryBytesAtStart = m_memoryBytesSeen = m_memtest->Totals().bytesVerified.load();
    m_memorySeenAt = m_memoryStart;
    m_nextMemoryWatch = m_memoryStart + 1.0;
    m_memorySummary = summary;
}

void StressRun::NoteInjectedFlip(RunPoll& poll) {
    if (m_flipNoted || !m_injector || m_injector->Plan().kind != FaultKind::MemoryBit) return;
    const std::shared_ptr<MemoryArena> arena = m_memtest->Arena();
    if (arena == nullptr) return;
    if (const InjectedFlip flip = arena->LastFlip(); flip.done) {
        // Said before the error it causes, so that the user can compare the two.
        m_flipNoted = true;
        Note(poll, "FERROX_INJECT_FAULT: bit " + std::to_string(flip.bit) + " of the word at " + FormatAddress(flip.address) +
                       " flipped, in a block written by processor " + std::to_string(flip.writer));
    }
}

void StressRun::WatchMemoryLoad(RunPoll& poll) {
    const double now = ElapsedSeconds();
    if (!m_memorySummary.ran || now < m_nextMemoryWatch) return;
    m_nextMemoryWatch = now + 1.0;
    const std::uint64_t bytes = m_memtest->Totals().bytesVerified.load();
    if (now > m_memorySeenAt) m_memorySummary.bytesPerSecond = static_cast<double>(bytes - m_memoryBytesSeen) / (now - m_memorySeenAt);
    m_memoryBytesSeen = bytes;
    m_memorySeenAt = now;
    const std::shared_ptr<MemoryArena> arena = m_memtest->Arena();
    if (arena == nullptr || m_memorySummary.kernel != LoadKernelKind::Memory || !m_safetyStop.empty()) return;

    const MemoryStatus status = m_memoryStatus();
    if (!status.known) return;
    const std::uint64_t margin = MemoryMarginBytes(status);
    const GuardOutcome outcome = arena->Guard(status.availableBytes, margin, kSmallestMemoryBuffer);
    m_memorySummary.bufferBytes = arena->ActiveBytes();
    const std::string fell = "available memory fell to " + FormatBytes(status.availableBytes) + " (Ferrox leaves " +
                             FormatBytes(margin) + " to the system)";
    if (outcome.action == GuardOutcome::Action::Shrunk) {
        Note(poll, fell + ": the memory load's buffer shrinks from " + FormatBytes(outcome.fromBytes) + " to " +
                       FormatBytes(outcome.toBytes));
    } else if (outcome.action == GuardOutcome::Action::Stopped) {
        m_safetyStop = fell + ": the memory load stopped, as its buffer cannot shrink below " + FormatBytes(kSmallestMemoryBuffer);
        m_log.Write("limit: " + m_safetyStop);
        poll.safetyStop = true;
        // A safety limit like the temperature's: the verdict is STOPPED, with this reason.
        if (m_limitReached.empty()) m_limitReached = m_safetyStop;
        poll.limitReached = m_limitReached;
        StopAllWorkers(static_cast<DWORD>(kStopBoundSeconds * 1000));
    }
}

void StressRun::StartLoad() {
    PrepareMemtest();
    unsigned requested = 1;
    if (m_settings.cycleSeconds > 0) {
        m_cycler = CoreCycler(AscendingProcessors(), m_settings.cycleSeconds, ElapsedSeconds());
        StartWorkers(1);
        if (WorkerContext* worker = Context(0)) worker->targetProcessor = m_cycler.ProcessorAt(ElapsedSeconds());
    } else {
        m_cycler = CoreCycler();
        requested = m_settings.threads == 0 ? static_cast<unsigned>(AllowedProcessors().size()) : m_settings.threads;
        StartWorkers(requested);
    }
    NoteWorkerStarts(requested);
}

void StressRun::NoteWorkerStarts(unsigned requested) {
    LoadKernelKind kind = LoadKernelKind::X87;
    const unsigned started = requested - std::min(requested, StartFailures());
    if (started > 0 && ChosenKernel(&kind) && IsClassicMix(kind)) m_classicRan = true;
    if (StartFailures() == 0) return;
    const std::string problem = std::to_string(StartFailures()) + " of " + std::to_string(requested) +
                                (requested == 1 ? " worker" : " workers") + " could not start: " +
                                (StartFailureReason().empty() ? "the system refused the thread" : StartFailureReason());
    if (StartFailures() >= m_workersNotStarted) {
        m_workersNotStarted = StartFailures();
        m_workersRequested = requested;
        m_workerStartProblem = problem;
    }
    m_startNotes.push_back(problem);
    m_log.Write("note: " + problem);
}

void StressRun::RunThreads(unsigned count) {
    const RunSettings before = m_settings;
    m_settings.threads = count;
    m_settings.cycleSeconds = 0;
    m_cycler = CoreCycler();
    StartWorkers(count);
    NoteWorkerStarts(count);
    LogChange(before);
}

void StressRun::RunCycling(unsigned periodSeconds) {
    const RunSettings before = m_settings;
    m_settings.cycleSeconds = periodSeconds > 0 ? periodSeconds : 60;
    StartLoad();
    LogChange(before);
}

void StressRun::ChangePriority(PriorityChoice choice) {
    const RunSettings before = m_settings;
    m_settings.priority = choice;
    const PriorityPair pair = PriorityPairOf(choice);
    // Workers that could not come back to the new pair are restarted: the cycling one keeps its place.
    if (SetPriorityPair(pair.priorityClass, pair.threadPriority) && m_cycler.Active()) {
        if (WorkerContext* worker = Context(0)) worker->targetProcessor = m_cycler.ProcessorAt(ElapsedSeconds());
    }
    ApplyPriority();
    LogChange(before);
}

void StressRun::ChangeLoad(LoadChoice choice) {
    const RunSettings before = m_settings;
    m_settings.load = choice;
    SetLoadChoice(choice);
    StartLoad();
    LogChange(before);
}

void StressRun::ChangePinning(bool pin) {
    const RunSettings before = m_settings;
    m_settings.pin = pin;
    SetPinning(pin);
    if (!m_cycler.Active()) StartLoad();
    LogChange(before);
}

void StressRun::ChangeMemorySize(const MemorySizeRequest& request) {
    m_settings.memory = request;
    LoadKernelKind kind = LoadKernelKind::X87;
    if (ChosenKernel(&kind) && kind == LoadKernelKind::Memory) StartLoad();
}

void StressRun::ChangeStopOnError(bool stop) {
    const RunSettings before = m_settings;
    m_settings.stopOnError = stop;
    SetStopOnError(stop);
    LogChange(before);
}

void StressRun::ChangePhase(const RunSettings& phase) {
    const RunSettings before = m_settings;
    m_settings.threads = phase.threads;
    m_settings.cycleSeconds = phase.cycleSeconds;
    m_settings.load = phase.load;
    m_settings.variablePeriodSeconds = phase.variablePeriodSeconds;
    m_settings.variableOnShare = phase.variableOnShare;
    SetLoadChoice(phase.load);
    SetDutyCycle(phase.variablePeriodSeconds, phase.variableOnShare);
    StartLoad();
    LogChange(before);
}

void StressRun::ChangeDuration(double seconds) {
    m_settings.durationSeconds = seconds > 0.0 ? seconds : 0.0;
    m_log.Write("setting at " + FormatRunTime(ElapsedSeconds(), true) + ": duration " +
                (seconds > 0.0 ? FormatRunTime(seconds) : std::string("none")));
}

void StressRun::LogChange(const RunSettings& before) {
    const auto threads = [](const RunSettings& settings) {
        return settings.cycleSeconds > 0 ? "cycling every " + std::to_string(settings.cycleSeconds) + " s"
               : settings.threads == 0   ? std::string("one thread per processor")
                                         : std::to_string(settings.threads) + (settings.threads == 1 ? " thread" : " threads");
    };
    std::vector<std::string> changes;
    if (threads(before) != threads(m_settings)) changes.push_back("threads " + threads(before) + " -> " + threads(m_settings));
    if (before.priority != m_settings.priority)
        changes.push_back(std::string("priority ") + PriorityChoiceKey(before.priority) + " -> " + PriorityChoiceKey(m_settings.priority));
    if (before.load != m_settings.load)
        changes.push_back(std::string("load ") + LoadChoiceKey(before.load) + " -> " + LoadChoiceKey(m_settings.load));
    if (before.pin != m_settings.pin) changes.push_back(std::string("pinning ") + (m_settings.pin ? "on" : "off"));
    if (before.stopOnError != m_settings.stopOnError)
        changes.push_back(std::string("stop on error ") + (m_settings.stopOnError ? "on" : "off"));
    if (before.variablePeriodSeconds != m_settings.variablePeriodSeconds || before.variableOnShare != m_settings.variableOnShare)
        changes.push_back("variable load " + VariableLoadText(m_settings));
    for (const std::string& change : changes) m_log.Write("setting at " + FormatRunTime(ElapsedSeconds(), true) + ": " + change);
    NextSpell();
}

void StressRun::ApplyPriority() {
    // The highest choice at or below the one asked for that this user may have.
    std::string reason;
    PriorityChoice applied = m_settings.priority;
    for (int choice = static_cast<int>(m_settings.priority); choice > static_cast<int>(PriorityChoice::Low); --choice) {
        const PriorityPair pair = PriorityPairOf(static_cast<PriorityChoice>(choice));
        const std::string unavailable = PriorityUnavailableReason(pair.priorityClass, pair.threadPriority);
        if (unavailable.empty()) break;
        if (reason.empty()) reason = unavailable;
        applied = static_cast<PriorityChoice>(choice - 1);
    }
    m_appliedPriority = applied;
    if (applied == m_settings.priority) return;
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' ')) reason.pop_back();
    if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z') reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
    const PriorityPair pair = PriorityPairOf(applied);
    int nice = 0;
    MapPriorityToNice(pair.priorityClass, pair.threadPriority, &nice);
    const std::string note = std::string("priority ") + PriorityChoiceKey(m_settings.priority) + " was not applied (" +
                             reason + "): the workers run at " + PriorityChoiceKey(applied) + " (nice " +
                             std::to_string(nice) + " from Ferrox's own)";
    m_startNotes.push_back(note);
    m_log.Write("note: " + note);
}

void StressRun::NextSpell() {
    const double now = ElapsedSeconds();
    if (m_currentSpell < m_spells.size()) m_spells[m_currentSpell].seconds += now - m_spellStart;
    // The first spell is the run's from its start.
    m_spellStart = m_spells.empty() ? 0.0 : now;
    LoadKernelKind kind = LoadKernelKind::X87;
    const std::string kernel = ChosenKernel(&kind) ? LoadKernelName(kind) : "none";
    // The same load at the same priority again (after a thread count changed) adds to its time.
    for (m_currentSpell = 0; m_currentSpell < m_spells.size(); ++m_currentSpell) {
        const LoadSpell& spell = m_spells[m_currentSpell];
        if (spell.kernel == kernel && spell.priority == m_appliedPriority) return;
    }
    m_spells.push_back(LoadSpell{kernel, m_appliedPriority, 0.0});
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
    error.kind = event.kind == WorkerEventKind::Crashed ? RunErrorKind::Crashed : RunErrorKind::CheckFailed;
    error.seconds = event.seconds - m_start;
    error.worker = event.worker;
    error.processor = event.processor;
    error.endProcessor = event.endProcessor;
    error.part = event.part;
    error.expected = event.expected;
    error.obtained = event.obtained;
    error.faultName = event.faultName != nullptr ? event.faultName : "";
    error.faultAddress = event.faultAddress;
    if (event.kind == WorkerEventKind::WordMismatch) {
        error.kind = RunErrorKind::WordMismatch;
        error.kernel = static_cast<LoadKernelKind>(event.kernel);
        error.mismatch = event.mismatch;
    }
    AddError(error, poll);
}

void StressRun::AddError(RunError error, RunPoll& poll) {
    if (const ProcessorPlace* place = PlaceOf(error.processor)) {
        error.core = place->core;
        error.package = place->package;
    }
    ++m_errorCount;
    poll.firstError = poll.firstError || m_errorCount == 1;
    if (m_errors.size() < kMaxErrorsKept) m_errors.push_back(error);
    poll.newErrors.push_back(error);
    m_log.Write("error at " + FormatRunTime(error.seconds, true) + ": " + DescribeError(error));
}

void StressRun::TakeHungWorker(const HungWorker& worker, RunPoll& poll) {
    RunError error;
    error.kind = RunErrorKind::StoppedResponding;
    error.seconds = ElapsedSeconds();
    error.worker = worker.slot;
    error.processor = worker.processor;
    error.stuckSeconds = worker.cpuSeconds;
    // The workers count their own errors; this one cannot, so the run does it for it.
    if (ProcessorTally* tally = Tally(worker.processor)) {
        tally->errors.fetch_add(1);
        double none = -1.0;
        tally->firstErrorSeconds.compare_exchange_strong(none, static_cast<double>(GetSeconds()));
    }
    for (const auto& context : ContextsInUse())
        if (context->slot == worker.slot && context->report.state.load() == WorkerState::Hung) context->report.errors.fetch_add(1);
    AddError(error, poll);
}

RunPoll StressRun::Poll() {
    RunPoll poll;
    // Notes of setting changes since the last poll (workers the system would not start).
    for (std::string& note : TakeStartNotes()) poll.notes.push_back(std::move(note));
    NoteInjectedFlip(poll);
    for (const auto& context : ContextsInUse()) {
        WorkerEvent event;
        while (context->report.events.Pop(&event)) TakeEvent(event, poll);
    }
    for (const HungWorker& worker : FindHungWorkers()) TakeHungWorker(worker, poll);
    if (m_cycler.Active()) {
        if (WorkerContext* worker = Context(0)) {
            const int target = m_cycler.ProcessorAt(ElapsedSeconds());
            if (target != worker->targetProcessor.load()) {
                worker->targetProcessor = target;
                m_log.Write("cycling: the worker moves to " + (target >= 0 ? PlaceText(target) : "no processor"));
            }
        }
    }
    TakeClockMeasurements();
    TrackLoadedShares(poll);
    CheckLimits(poll);
    WatchMemoryLoad(poll);
    for (std::string& note : m_laterNotes) poll.notes.push_back(std::move(note));
    m_laterNotes.clear();
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

void StressRun::TakeClockMeasurements() {
    // Each new effective-clock measurement, once.
    m_checksSeen.resize(static_cast<std::size_t>(TallyCount()), 0);
    for (int processor = 0; processor < TallyCount(); ++processor) {
        const ProcessorTally* tally = Tally(processor);
        const std::uint64_t checks = tally->checks.load() + tally->errors.load();
        const double hz = tally->coreClockHz.load();
        if (checks == m_checksSeen[processor] || hz <= 0.0) continue;
        m_checksSeen[processor] = checks;
        if (m_monitor) m_monitor->PublishClock(processor, hz);
    }
}

void StressRun::TrackLoadedShares(RunPoll& poll) {
    const double now = ElapsedSeconds();
    const double step = now - m_sharesTrackedUntil;
    m_sharesTrackedUntil = now;
    const auto count = static_cast<std::size_t>(TallyCount());
    m_assignedSeconds.resize(count, 0.0);
    m_shareWarned.resize(count, false);
    if (step <= 0.0) return;
    // What each processor is meant to get now: a whole processor for each one a loading worker is
    // kept to; without pinning, each its share of the loading workers.
    std::vector<double> meant(count, 0.0);
    unsigned floating = 0;
    for (unsigned slot = 0; slot < WorkerSlotCount(); ++slot) {
        const WorkerContext* worker = Context(slot);
        if (worker == nullptr) continue;
        const WorkerState state = worker->report.state.load();
        if (state != WorkerState::Starting && state != WorkerState::Loading) continue;
        const int target = worker->targetProcessor.load();
        if (target >= 0 && static_cast<std::size_t>(target) < count) {
            meant[static_cast<std::size_t>(target)] = 1.0;
        } else if (target < 0) {
            ++floating;
        }
    }
    if (floating > 0) {
        const double share = std::min(1.0, static_cast<double>(floating) / static_cast<double>(AllowedProcessors().size()));
        for (const ProcessorPlace& place : AllowedProcessors())
            if (static_cast<std::size_t>(place.processor) < count)
                meant[static_cast<std::size_t>(place.processor)] = std::min(1.0, meant[static_cast<std::size_t>(place.processor)] + share);
    }
    // Under a variable load the workers are meant to rest the rest of each period.
    const double onShare = DutyPeriodSeconds() > 0.0 ? DutyOnShare() : 1.0;
    for (std::size_t processor = 0; processor < count; ++processor) {
        m_assignedSeconds[processor] += step * meant[processor] * onShare;
        const double assigned = m_assignedSeconds[processor];
        if (m_shareWarned[processor] || assigned < kShareJudgedAfterSeconds) continue;
        const double loaded = static_cast<double>(Tally(static_cast<int>(processor))->loadedNanoseconds.load()) * 1e-9;
        if (loaded / assigned >= kLowestGoodShare) continue;
        m_shareWarned[processor] = true;
        char share[16];
        std::snprintf(share, sizeof share, "%.0f%%", 100.0 * loaded / assigned);
        Note(poll, PlaceText(static_cast<int>(processor)) + " got only " + share +
                       " of the time it was to be loaded (something else is taking it)");
    }
}

bool StressRun::DurationReached() const {
    return m_begun && m_settings.durationSeconds > 0 && ElapsedSeconds() >= m_settings.durationSeconds;
}

void StressRun::EndRun(const std::string& reason, bool reachedItsEnd) {
    if (!m_begun || m_ended) return;
    m_endSeconds = ElapsedSeconds();
    m_ended = true;
    m_endReason = reason;
    m_reachedEnd = reachedItsEnd || m_settings.durationSeconds <= 0.0;
    // Every worker's events are taken to the last one before any context is let go; the running
    // workers as they ended stay in the summary (lingering workers of an earlier setting are not
    // among them).
    const std::vector<std::shared_ptr<WorkerContext>> contexts = ContextsInUse();
    std::vector<std::shared_ptr<WorkerContext>> running;
    for (const std::shared_ptr<WorkerContext>& context : contexts)
        if (Context(context->slot) == context.get()) running.push_back(context);
    RunPoll last;
    TrackLoadedShares(last);
    StopAllWorkers(static_cast<DWORD>(kStopBoundSeconds * 1000));
    for (const std::shared_ptr<WorkerContext>& context : contexts) {
        WorkerEvent event;
        while (context->report.events.Pop(&event)) TakeEvent(event, last);
    }
    // A worker that did not end within the bound: stuck if it used 20 of its passes' processor
    // time since its last one, else not scheduled (the run is then incomplete, not failed).
    for (const HungWorker& worker : GivenUpAtStop()) {
        if (worker.cpuSeconds >= std::max(0.5, worker.passesWorth)) {
            TakeHungWorker(worker, last);
        } else {
            m_unscheduledAtStop.push_back("worker " + std::to_string(worker.slot));
        }
    }
    // The workers' last probes make the monitor's last sample, so a run shorter than a second has
    // its clock figures too.
    TakeClockMeasurements();
    if (m_monitor) {
        m_monitor->Sample(m_endSeconds);
        m_monitor->Stop();
    }
    std::sort(running.begin(), running.end(), [](const auto& a, const auto& b) { return a->slot < b->slot; });
    for (const auto& context : running) m_endedWorkers.push_back(WorkerResultOf(*context));
    // Throttling that ended with the run, and the monitor's last notes.
    RunPoll end;
    if (m_monitor) {
        for (const ThrottleEpisode& episode : m_monitor->TakeEndedThrottling())
            Note(end, DescribeThrottleEpisode(episode, PlaceText(episode.processors.front())));
        for (const std::string& note : m_monitor->TakeNotes()) Note(end, note);
    }
    m_endNotes = std::move(end.notes);
    const RunSummary summary = Summary();
    std::string line = "end after " + FormatRunTime(summary.elapsedSeconds) + " (" + reason + "): " + VerdictText(summary) +
                       ", " + std::to_string(summary.checks) + " checks, " + std::to_string(summary.errors) +
                       (summary.errors == 1 ? " error" : " errors");
    if (!summary.failingProcessors.empty()) line += "; " + FailingProcessorsText(summary.failingProcessors);
    if (AbandonedWorkers() > 0) line += "; " + std::to_string(AbandonedWorkers()) + " stuck worker(s) left behind";
    m_log.Write(line);
}

std::string StressRun::IncompleteReason() const {
    std::vector<std::string> reasons;
    if (!m_workerStartProblem.empty()) reasons.push_back(m_workerStartProblem);
    if (!m_reachedEnd) {
        reasons.push_back("stopped (" + m_endReason + ") after " + FormatRunTime(ElapsedSeconds()) + " of " +
                          FormatRunTime(m_settings.durationSeconds));
    }
    std::vector<int> unchecked;
    bool anyMeant = false;
    for (std::size_t processor = 0; processor < m_assignedSeconds.size(); ++processor) {
        if (m_assignedSeconds[processor] <= 0.0) continue;
        anyMeant = true;
        const ProcessorTally* tally = Tally(static_cast<int>(processor));
        // Without pinning a worker's checks land wherever it runs: the workers answer for them below.
        const bool pinned = m_settings.pin || m_settings.cycleSeconds > 0;
        if (pinned && m_assignedSeconds[processor] >= kCheckDueSeconds && tally->checks.load() == 0 && tally->errors.load() == 0)
            unchecked.push_back(static_cast<int>(processor));
    }
    if (!unchecked.empty()) {
        reasons.push_back((unchecked.size() == 1 ? "processor " : "processors ") + JoinedProcessors(unchecked) +
                          " completed no check");
    }
    if (!m_settings.pin && m_settings.cycleSeconds == 0 && ElapsedSeconds() >= kCheckDueSeconds) {
        unsigned silent = 0;
        for (const WorkerResult& worker : m_endedWorkers)
            if (worker.checks == 0 && worker.errors == 0) ++silent;
        if (silent > 0) reasons.push_back(std::to_string(silent) + (silent == 1 ? " worker" : " workers") + " completed no check");
    }
    if (!anyMeant) reasons.push_back("no worker ran");
    if (!m_unscheduledAtStop.empty()) {
        reasons.push_back(std::to_string(m_unscheduledAtStop.size()) + " worker(s) did not end within " +
                          std::to_string(static_cast<int>(kStopBoundSeconds)) + " s of the stop, unscheduled: their last pass is not checked");
    }
    std::string text;
    for (const std::string& reason : reasons) text += (text.empty() ? "" : "; ") + reason;
    return text;
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
    worker.restarts = report.restarts.load();
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
        if (static_cast<std::size_t>(place.processor) < m_assignedSeconds.size()) {
            result.assignedSeconds = m_assignedSeconds[static_cast<std::size_t>(place.processor)];
            if (result.assignedSeconds > 0.0) result.loadedShare = result.loadedSeconds / result.assignedSeconds;
        }
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
    summary.selfChecked = !m_classicRan;
    const std::string incomplete = m_ended ? IncompleteReason() : std::string();
    if (summary.errors > 0) {
        summary.verdict = Verdict::Failed;
    } else if (!m_limitReached.empty()) {
        summary.verdict = Verdict::Stopped;
        summary.verdictReason = m_limitReached;
    } else if (!incomplete.empty()) {
        summary.verdict = Verdict::Incomplete;
        summary.verdictReason = incomplete;
    } else if (m_classicRan) {
        summary.verdict = Verdict::NoErrorsSeen;
        summary.verdictReason = kClassicReason;
    } else {
        summary.verdict = Verdict::Passed;
    }
    summary.errorList = m_errors;
    // From the monitor's samples, as the Monitor window and the report's series give them.
    if (m_monitor) summary.coreClock = EffectiveClockFigures(m_monitor->History());
    summary.appliedPriority = m_appliedPriority;
    summary.limitCelsius = m_limitCelsius;
    summary.limitWatts = m_limitWatts;
    summary.limitSource = m_limitSource;
    summary.loadSpells = m_spells;
    if (m_currentSpell < summary.loadSpells.size())
        summary.loadSpells[m_currentSpell].seconds += summary.elapsedSeconds - m_spellStart;
    summary.logPath = m_log.Path();
    summary.logProblem = m_log.Problem();
    summary.memory = m_memorySummary;
    if (summary.memory.ran) {
        const MemtestTotals& totals = m_memtest->Totals();
        summary.memory.bytesVerified = totals.bytesVerified.load();
        const double seconds = summary.elapsedSeconds - m_memoryStart;
        summary.memory.meanBytesPerSecond =
            seconds > 0.0 ? static_cast<double>(summary.memory.bytesVerified - m_memoryBytesAtStart) / seconds : 0.0;
        summary.memory.blocksVerified = totals.blocksVerified.load();
        if (summary.memory.blocksVerified > 0)
            summary.memory.crossReadShare = static_cast<double>(totals.crossReads.load()) / static_cast<double>(summary.memory.blocksVerified);
        if (const std::shared_ptr<MemoryArena> arena = m_memtest->Arena(); arena && summary.memory.kernel == LoadKernelKind::Memory)
            summary.memory.sweeps = arena->Sweeps();
    }
    if (m_monitor) {
        const MonitorHeadline headline = m_monitor->Headline();
        summary.hottestCelsius = headline.hottestCelsius;
        summary.hottestLabel = headline.hottestLabel;
        summary.packageWatts = headline.packageWatts;
        summary.throttleEvents = m_monitor->Throttling().Count();
    }
    return summary;
}
