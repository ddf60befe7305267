#include "app/ferrox_app.h"

#include <new>

#include "app/command_ids.h"
#include "app/ferrox_frame.h"
#include "app/home_page.h"
#include "cli/exit_status.h"
#include "platform/message_box.h"
#include "platform/priority.h"
#include "platform/processors.h"
#include "platform/resources.h"
#include "platform/settings_store.h"
#include "platform/shell.h"
#include "platform/termination_signals.h"
#include "run/console_lines.h"

namespace {
void RunSettingsCommand(CCmdTarget& target, unsigned id) {
    static_cast<CFerroxApp&>(target).OnSettingsCommand(id);
}

void UpdateSettingsItem(CCmdTarget& target, CCmdUI& item) {
    static_cast<CFerroxApp&>(target).OnUpdateSettingsCommand(item);
}

bool IsThreadCommand(unsigned id) {
    return id == kCmdAutomaticThreads || id == kCmdOneThread || id == kCmdTwoThreads ||
           id == kCmdFourThreads || id == kCmdEightThreads || id == kCmdSixteenThreads;
}

bool IsPriorityCommand(unsigned id) {
    return id == kCmdLowPriority || id == kCmdNormalPriority || id == kCmdHighPriority ||
           id == kCmdRealtimePriority;
}

bool IsCyclePeriodCommand(unsigned id) { return id >= kCmdCycle10Seconds && id <= kCmdCycle10Minutes; }
bool IsLoadCommand(unsigned id) { return id >= kCmdLoadBuiltin && id <= kCmdLoadMemory; }
bool IsMemorySizeCommand(unsigned id) { return id >= kCmdMemory10Percent && id <= kCmdMemory70Percent; }
bool IsLimitCommand(unsigned id) { return id >= kCmdLimitFromSensors && id <= kCmdLimitNone; }
bool IsPlanCommand(unsigned id) { return id >= kCmdPlanQuick && id <= kCmdPlanThorough; }
const char* PlanNameOf(unsigned id) { return id == kCmdPlanQuick ? "quick" : id == kCmdPlanStandard ? "standard" : "thorough"; }

// The home page item has a command but no check mark.
const CommandMapEntry kAppCommands[] = {
    {kCmdAutomaticThreads, RunSettingsCommand, UpdateSettingsItem},
    {kCmdOneThread, RunSettingsCommand, UpdateSettingsItem},
    {kCmdTwoThreads, RunSettingsCommand, UpdateSettingsItem},
    {kCmdFourThreads, RunSettingsCommand, UpdateSettingsItem},
    {kCmdEightThreads, RunSettingsCommand, UpdateSettingsItem},
    {kCmdSixteenThreads, RunSettingsCommand, UpdateSettingsItem},
    {kCmdLowPriority, RunSettingsCommand, UpdateSettingsItem},
    {kCmdNormalPriority, RunSettingsCommand, UpdateSettingsItem},
    {kCmdHighPriority, RunSettingsCommand, UpdateSettingsItem},
    {kCmdRealtimePriority, RunSettingsCommand, UpdateSettingsItem},
    {kCmdHomePage, RunSettingsCommand, nullptr},
    {kCmdCycleProcessors, RunSettingsCommand, UpdateSettingsItem},
    {kCmdCycle10Seconds, RunSettingsCommand, UpdateSettingsItem},
    {kCmdCycle1Minute, RunSettingsCommand, UpdateSettingsItem},
    {kCmdCycle5Minutes, RunSettingsCommand, UpdateSettingsItem},
    {kCmdCycle10Minutes, RunSettingsCommand, UpdateSettingsItem},
    {kCmdLoadBuiltin, RunSettingsCommand, UpdateSettingsItem},
    {kCmdLoadAvx2, RunSettingsCommand, UpdateSettingsItem},
    {kCmdLoadAvx512, RunSettingsCommand, UpdateSettingsItem},
    {kCmdLoadWidest, RunSettingsCommand, UpdateSettingsItem},
    {kCmdLoadCache, RunSettingsCommand, UpdateSettingsItem},
    {kCmdLoadMemory, RunSettingsCommand, UpdateSettingsItem},
    {kCmdMemory10Percent, RunSettingsCommand, UpdateSettingsItem},
    {kCmdMemory25Percent, RunSettingsCommand, UpdateSettingsItem},
    {kCmdMemory50Percent, RunSettingsCommand, UpdateSettingsItem},
    {kCmdMemory70Percent, RunSettingsCommand, UpdateSettingsItem},
    {kCmdPinWorkers, RunSettingsCommand, UpdateSettingsItem},
    {kCmdStopOnError, RunSettingsCommand, UpdateSettingsItem},
    {kCmdLimitFromSensors, RunSettingsCommand, UpdateSettingsItem},
    {kCmdLimit80, RunSettingsCommand, UpdateSettingsItem},
    {kCmdLimit85, RunSettingsCommand, UpdateSettingsItem},
    {kCmdLimit90, RunSettingsCommand, UpdateSettingsItem},
    {kCmdLimit95, RunSettingsCommand, UpdateSettingsItem},
    {kCmdLimitNone, RunSettingsCommand, UpdateSettingsItem},
    {kCmdPlanQuick, RunSettingsCommand, UpdateSettingsItem},
    {kCmdPlanStandard, RunSettingsCommand, UpdateSettingsItem},
    {kCmdPlanThorough, RunSettingsCommand, UpdateSettingsItem},
};

// The client area the window opens with.
constexpr int kStartClientWidth = 320;
constexpr int kStartClientHeight = 240;
}  // namespace

CFerroxApp::CFerroxApp() : CWinApp(nullptr) { m_desktopEntry = "dev.ferrox.Ferrox"; }

CFerroxApp::~CFerroxApp() = default;

std::span<const CommandMapEntry> CFerroxApp::GetCommandMap() const { return kAppCommands; }

int CFerroxApp::InitInstance() {
    if (!CWinApp::InitInstance()) {
        return 0;
    }
    GetSystemInfo(&m_systemInfo);
    m_frame = new (std::nothrow) CFerroxFrame(m_frameClock, this);
    if (m_frame == nullptr) {
        return 0;
    }
    if (!m_frame->LoadFrame(kMainResourceId, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE)) {
        // The window never existed, so nothing else will delete the frame object.
        delete m_frame;
        m_frame = nullptr;
        return 0;
    }
    m_pMainWnd = m_frame;

    CRect rect{0, 0, kStartClientWidth, kStartClientHeight};
    m_frame->CalcWindowRect(&rect);
    CPoint topLeft{rect.left, rect.top};
    m_frame->ClientToScreen(&topLeft);
    m_frame->MoveWindow(topLeft.x, topLeft.y, rect.Width(), rect.Height(), true);
    m_frame->SetAnimated(m_startOptions.animated);
    m_frame->SetCloseAtEnd(m_startOptions.closeAtEnd);
    m_frame->SetMetricsFile(m_startOptions.metrics);
    if (m_startOptions.minimized) {
        if (!m_frame->HideToTray())
            WriteWarning("no tray to start in (no tray host runs): the window starts minimised to the task bar instead");
    } else {
        m_frame->ShowWindow(SW_SHOW);
        m_frame->UpdateWindow();
    }

    // The start-up settings: Automatic and Normal unless the kept settings or the command line
    // say otherwise.
    const RunSettings& start = m_startOptions.run;
    m_priorityCommand = CommandForPriority(start.priority);
    m_threadCommand = CommandForThreadCount(start.threads);
    m_cyclePeriodCommand = CommandForCyclePeriod(start.cycleSeconds > 0 ? start.cycleSeconds : m_startOptions.cyclePeriodSeconds);
    if (start.cycleSeconds == 0 && m_cyclePeriodCommand == 0) m_cyclePeriodCommand = kCmdCycle1Minute;
    if (m_startOptions.plan) {
        m_plan = std::make_unique<PlanRunner>(*m_startOptions.plan);
        BeginRun(m_plan->StartSettings(start));
        m_plan->Begin(*this);
    } else {
        BeginRun(start);
    }
    for (const std::string& note : m_settingsNotes) {
        Log().Write("note: " + note);
        WriteWarning(note);
    }
    return 1;
}

void CFerroxApp::StartPlan(TestPlan plan) {
    m_plan = std::make_unique<PlanRunner>(std::move(plan));
    m_plan->Begin(*this);
    ChangeDuration(ElapsedSeconds() + m_plan->Plan().TotalSeconds());
}

std::optional<PlanResult> CFerroxApp::PlanResultOf(const RunSummary& summary) const {
    if (!m_plan) return std::nullopt;
    return m_plan->Result(summary);
}

int CFerroxApp::ExitInstance() {
    EndRun(m_endReason, DurationReached());
    for (const std::string& note : TakeEndNotes()) WriteWarning(note);
    StopWorkers();
    const int framework = CWinApp::ExitInstance();
    const int verdict = ExitStatusFor(Summary().verdict);
    return verdict != 0 ? verdict : framework;
}

void CFerroxApp::OnTerminationSignal(int signal) {
    m_endReason = TerminationSignalName(signal);
    CWinApp::OnTerminationSignal(signal);
}

void CFerroxApp::OnSettingsCommand(unsigned id) {
    // Each choice changes its own kept setting only: options the command line gave for this run
    // stay unkept.
    if (IsThreadCommand(id)) {
        m_threadCommand = id;
        ApplyThreadCommand();
        m_kept.threads = id == kCmdAutomaticThreads ? 0 : ThreadCountForCommand(id, m_systemInfo);
        m_kept.cycling = false;
    } else if (IsPriorityCommand(id)) {
        m_priorityCommand = id;
        ApplyPriorityCommand();
        m_kept.priority = PriorityChoiceForCommand(id);
    } else if (id == kCmdHomePage) {
        OpenHomePage();
        return;
    } else if (id == kCmdCycleProcessors) {
        RunCycling(CyclePeriodForCommand(m_cyclePeriodCommand));
        m_kept.cycling = true;
        m_kept.cyclePeriodSeconds = CyclePeriodForCommand(m_cyclePeriodCommand);
    } else if (IsCyclePeriodCommand(id)) {
        m_cyclePeriodCommand = id;
        if (Settings().cycleSeconds > 0) RunCycling(CyclePeriodForCommand(id));
        m_kept.cyclePeriodSeconds = CyclePeriodForCommand(id);
    } else if (IsLoadCommand(id)) {
        // Only a load this processor can run (its item is grey otherwise).
        if (!ChooseKernel(LoadChoiceForCommand(id), GetProcessorTraits(), nullptr)) return;
        ChangeLoad(LoadChoiceForCommand(id));
        m_kept.load = LoadChoiceForCommand(id);
    } else if (IsMemorySizeCommand(id)) {
        const MemorySizeRequest request = MemoryRequestForCommand(id);
        ChangeMemorySize(request);
        m_kept.memoryPercent = request.kind == MemorySizeRequest::Kind::Percent ? request.percent : 0.0;
    } else if (id == kCmdPinWorkers) {
        ChangePinning(!Settings().pin);
        m_kept.pin = Settings().pin;
    } else if (id == kCmdStopOnError) {
        ChangeStopOnError(!Settings().stopOnError);
        m_kept.stopOnError = Settings().stopOnError;
    } else if (IsLimitCommand(id)) {
        ChangeTemperatureLimit(TemperatureLimitForCommand(id));
        m_kept.maxCelsius = TemperatureLimitForCommand(id);
    } else if (IsPlanCommand(id) && !m_plan && !Ended()) {
        TestPlan plan;
        if (BuiltinPlan(PlanNameOf(id), static_cast<unsigned>(AllowedProcessors().size()), GetProcessorTraits(), &plan))
            StartPlan(std::move(plan));
        return;
    } else {
        return;
    }
    KeepSettings();
}

void CFerroxApp::KeepAnimated(bool on) {
    m_kept.animated = on;
    KeepSettings();
}

void CFerroxApp::KeepSettings() {
    if (m_settingsLocation.empty()) return;
    std::string error;
    if (WriteSettings(m_settingsLocation, KeptSettingsValues(m_kept), &error)) {
        m_keepFailed = false;
        return;
    }
    // Said once until a later choice is kept again.
    if (m_keepFailed) return;
    m_keepFailed = true;
    const std::string note = "the settings could not be kept for the next run: " + error;
    Log().Write("note: " + note);
    WriteWarning(note);
    if (m_frame != nullptr) m_frame->ShowNotice("Ferrox could not keep its settings", error + ". They hold for this run only.");
}

void CFerroxApp::OnUpdateSettingsCommand(CCmdUI& item) {
    const unsigned id = item.m_nID;
    const bool cycling = Settings().cycleSeconds > 0;
    if (IsThreadCommand(id)) {
        item.SetCheck(!cycling && id == m_threadCommand);
    } else if (IsPriorityCommand(id)) {
        item.SetCheck(id == m_priorityCommand);
        const PriorityPair pair = PriorityPairForCommand(id);
        const std::string reason = PriorityUnavailableReason(pair.priorityClass, pair.threadPriority);
        item.Enable(reason.empty() || id == m_priorityCommand);
        item.SetToolTip(reason);
    } else if (id == kCmdCycleProcessors) {
        item.SetCheck(cycling);
    } else if (IsCyclePeriodCommand(id)) {
        item.SetCheck(id == m_cyclePeriodCommand);
    } else if (IsLoadCommand(id)) {
        const LoadChoice choice = LoadChoiceForCommand(id);
        const bool runs = ChooseKernel(choice, GetProcessorTraits(), nullptr);
        item.SetCheck(choice == Settings().load);
        item.Enable(runs);
        item.SetToolTip(runs ? std::string() : "This processor or its operating system cannot run these instructions.");
    } else if (IsMemorySizeCommand(id)) {
        item.SetCheck(id == CommandForMemoryRequest(Settings().memory));
    } else if (id == kCmdPinWorkers) {
        item.SetCheck(cycling || Settings().pin);
        item.Enable(!cycling);
        item.SetToolTip(cycling ? "Core cycling always keeps its worker on one processor at a time." : "");
    } else if (id == kCmdStopOnError) {
        item.SetCheck(Settings().stopOnError);
    } else if (IsPlanCommand(id)) {
        // One plan at a time, and none after the run has ended.
        item.SetCheck(m_plan != nullptr && m_plan->Plan().name == PlanNameOf(id));
        item.Enable(m_plan == nullptr && !Ended());
    } else if (IsLimitCommand(id)) {
        item.SetCheck(CommandForTemperatureLimit(Settings().maxCelsius) == id);
        // The sensors' point needs sensors that publish one.
        if (id == kCmdLimitFromSensors) {
            const bool published = Monitor() != nullptr && !Monitor()->CriticalPoints().empty();
            item.SetToolTip(published ? TemperatureLimitSource() : "The processor's sensors publish no critical point here.");
        }
    }
}

void CFerroxApp::ApplyThreadCommand() { RunThreads(ThreadCountForCommand(m_threadCommand, m_systemInfo)); }

void CFerroxApp::ApplyPriorityCommand() { ChangePriority(PriorityChoiceForCommand(m_priorityCommand)); }

void CFerroxApp::OpenHomePage() {
    SuspendWorkers();
    const bool opened = ShellExecute(nullptr, "open", kHomePageAddress, nullptr, nullptr, SW_SHOW);
    ResumeWorkers();
    if (!opened) {
        AfxMessageBox(std::string("No web browser could be started for Ferrox's home page. Its address is:\n\n") +
                          kHomePageAddress,
                      MB_ICONINFORMATION, LoadString(kMainResourceId).c_str());
    }
}
