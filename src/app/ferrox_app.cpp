#include "app/ferrox_app.h"

#include <new>

#include "app/command_ids.h"
#include "app/ferrox_frame.h"
#include "app/home_page.h"
#include "platform/shell.h"

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
};

// The client area the window opens with.
constexpr int kStartClientWidth = 320;
constexpr int kStartClientHeight = 240;
}  // namespace

CFerroxApp::CFerroxApp() : CWinApp(nullptr) {}

CFerroxApp::~CFerroxApp() = default;

std::span<const CommandMapEntry> CFerroxApp::GetCommandMap() const { return kAppCommands; }

int CFerroxApp::InitInstance() {
    if (!CWinApp::InitInstance()) {
        return 0;
    }
    GetSystemInfo(&m_systemInfo);
    m_frame = new (std::nothrow) CFerroxFrame(m_frameClock);
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
    m_frame->ShowWindow(SW_SHOW);
    m_frame->UpdateWindow();

    m_priorityCommand = kCmdNormalPriority;
    ApplyPriorityCommand();
    m_threadCommand = kCmdAutomaticThreads;
    ApplyThreadCommand();
    return 1;
}

int CFerroxApp::ExitInstance() {
    StopWorkers();
    return CWinApp::ExitInstance();
}

void CFerroxApp::OnSettingsCommand(unsigned id) {
    if (IsThreadCommand(id)) {
        m_threadCommand = id;
        ApplyThreadCommand();
    } else if (IsPriorityCommand(id)) {
        m_priorityCommand = id;
        ApplyPriorityCommand();
    } else if (id == kCmdHomePage) {
        OpenHomePage();
    }
}

void CFerroxApp::OnUpdateSettingsCommand(CCmdUI& item) {
    if (IsThreadCommand(item.m_nID)) {
        item.SetCheck(item.m_nID == m_threadCommand);
    } else if (IsPriorityCommand(item.m_nID)) {
        item.SetCheck(item.m_nID == m_priorityCommand);
    }
}

void CFerroxApp::ApplyThreadCommand() {
    StartWorkers(ThreadCountForCommand(m_threadCommand, m_systemInfo));
}

void CFerroxApp::ApplyPriorityCommand() {
    PriorityPair pair = PriorityPairForCommand(m_priorityCommand);
    SetPriorityPair(pair.priorityClass, pair.threadPriority);
}

void CFerroxApp::OpenHomePage() {
    SuspendWorkers();
    ShellExecute(nullptr, "open", kHomePageAddress, nullptr, nullptr, SW_SHOW);
    ResumeWorkers();
}
