#include "app/ferrox_frame.h"

#include <cstdio>

#include "app/command_ids.h"
#include "app/ferrox_app.h"
#include "app/home_page.h"
#include "app/monitor_view.h"
#include "app/results_view.h"
#include "cli/metrics_file.h"
#include "display/paint_time_step.h"
#include "display/stretch_bitmap.h"
#include "platform/menu.h"
#include "platform/resources.h"
#include "platform/win_app.h"
#include "monitor/series_csv.h"
#include "run/console_lines.h"
#include "run/run_text.h"
#include "run/stress_run.h"

namespace {
void RunFrameCommand(CCmdTarget& target, unsigned id) {
    static_cast<CFerroxFrame&>(target).OnFrameCommand(id);
}

void UpdateFrameItem(CCmdTarget& target, CCmdUI& item) {
    static_cast<CFerroxFrame&>(target).OnUpdateFrameCommand(item);
}

const CommandMapEntry kFrameCommands[] = {
    {kCmdShow, RunFrameCommand, nullptr},
    {kCmdMinimize, RunFrameCommand, nullptr},
    {kCmdAnimated, RunFrameCommand, UpdateFrameItem},
    {kCmdResults, RunFrameCommand, nullptr},
    {kCmdMonitor, RunFrameCommand, nullptr},
};

// Client area limits while resizing.
constexpr CRect kSmallestClient{0, 0, 160, 120};
constexpr CRect kLargestClient{0, 0, 400, 300};

// The tip buffer keeps its last byte for the terminating zero.
void CopyTip(NOTIFYICONDATA& icon, const std::string& text) {
    std::snprintf(icon.szTip, sizeof icon.szTip, "%s", text.c_str());
}
}  // namespace

CFerroxFrame::CFerroxFrame(FrameClock clock, StressRun* run) : m_clock(clock), m_run(run) {}

CFerroxFrame::~CFerroxFrame() {
    // The application keeps a pointer to its frame; it must not outlive the frame.
    if (auto* app = dynamic_cast<CFerroxApp*>(AfxGetApp()); app != nullptr && app->m_frame == this) {
        app->m_frame = nullptr;
    }
}

std::span<const CommandMapEntry> CFerroxFrame::GetCommandMap() const { return kFrameCommands; }

bool CFerroxFrame::PreCreateWindow(CREATESTRUCT& cs) {
    cs.style &= ~WS_MAXIMIZEBOX;
    return CFrameWnd::PreCreateWindow(cs);
}

int CFerroxFrame::OnCreate() {
    if (CFrameWnd::OnCreate() == -1) {
        return -1;
    }
    CreateToolTip();
    if (m_scene.Create() == 0) {
        return -1;
    }

    m_notifyIcon = NOTIFYICONDATA{};
    m_notifyIcon.hWnd = this;
    m_notifyIcon.uID = 0;
    m_notifyIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_notifyIcon.uCallbackMessage = kTrayCallbackMessage;
    m_notifyIcon.hIcon = GetIcon();
    m_trayShown = Shell_NotifyIcon(NIM_ADD, &m_notifyIcon);
    CopyTip(m_notifyIcon, "Ferrox");
    Shell_NotifyIcon(NIM_MODIFY, &m_notifyIcon);

    SetTimer(kRefreshTimerId, kRefreshMilliseconds);
    m_scene.ResetTime();
    m_scene.StartAnimation();
    m_startTime = static_cast<float>(m_clock.seconds());
    return 0;
}

void CFerroxFrame::CreateToolTip() {
    CRect client;
    GetClientRect(&client);
    if (!m_toolTip.Create(this, WS_POPUP | WS_VISIBLE | TTS_ALWAYSTIP)) {
        return;
    }
    m_toolTipText = std::string(kHomePageAddress) + " (homepage)";
    if (!m_toolTip.AddTool(this, m_toolTipText.c_str(), client, kHomePageToolId)) {
        return;
    }
    TOOLINFO info;
    if (m_toolTip.GetToolInfo(&info, this, kHomePageToolId)) {
        // Shown and moved by the frame itself, next to the mouse.
        info.uFlags |= TTF_TRACK | TTF_ABSOLUTE | TTF_TRANSPARENT;
        info.lpszText = m_toolTipText.c_str();
        m_toolTip.SetToolInfo(&info);
    }
    m_toolTip.SetDelayTime(TTDT_INITIAL, 500);
}

void CFerroxFrame::OnDestroy() {
    m_results.Close();
    m_monitor.Close();
    Shell_NotifyIcon(NIM_DELETE, &m_notifyIcon);
    CFrameWnd::OnDestroy();
}

void CFerroxFrame::OnSize(int clientWidth, int clientHeight) {
    CFrameWnd::OnSize(clientWidth, clientHeight);
    CRect client;
    GetClientRect(&client);
    m_toolTip.SetToolRect(this, kHomePageToolId, client);
}

void CFerroxFrame::OnTimer(unsigned id) {
    PollRun();
    UpdateTitle();
    if (m_animated != 0 && id == kRefreshTimerId) {
        InvalidateRect(false);
        UpdateWindow();
    }
}

void CFerroxFrame::UpdateTitle() {
    long double now = m_clock.seconds();
    std::string name = LoadString(kMainResourceId);
    long double hz = m_clock.clockHz();
    long double elapsed = now - m_startTime;
    // A run that has ended keeps its run time.
    if (m_run != nullptr && m_run->Ended()) elapsed = m_run->ElapsedSeconds();
    std::string title = FormatTitle(name, elapsed, hz);
    std::string tip = FormatTrayTip(name, elapsed);
    // After the first error the title counts them and the tip names where they happened; at the
    // end both give the verdict.
    if (m_run != nullptr) {
        const RunSummary summary = m_run->Summary();
        title += ErrorCountSuffix(summary.errors);
        const std::string failing = FailingProcessorsText(summary.failingProcessors);
        if (!failing.empty()) tip = tip.empty() ? failing : tip + " " + failing;
        if (m_run->Ended()) {
            title += std::string(" - ") + VerdictWord(summary.verdict);
            tip += std::string(tip.empty() ? "" : " ") + VerdictWord(summary.verdict) + ".";
        }
    }
    SetWindowText(title);
    CopyTip(m_notifyIcon, tip);
    Shell_NotifyIcon(NIM_MODIFY, &m_notifyIcon);
}

void CFerroxFrame::PollRun() {
    if (m_run == nullptr || m_run->Ended()) return;
    const RunPoll poll = m_run->Poll();
    for (const std::string& note : poll.notes) WriteWarning(note);
    if (poll.firstError && !poll.newErrors.empty()) {
        const RunError& first = poll.newErrors.front();
        if (HICON red = LoadIcon(kErrorIconId)) m_notifyIcon.hIcon = red;
        m_notifyIcon.uFlags |= NIF_INFO;
        m_notifyIcon.dwInfoFlags = NIIF_ERROR;
        std::snprintf(m_notifyIcon.szInfoTitle, sizeof m_notifyIcon.szInfoTitle, "Ferrox found an error");
        const std::string processor = std::to_string(first.processor);
        const std::string what = first.kind == RunErrorKind::Crashed ? "A worker on processor " + processor + " crashed (" + first.faultName + ")"
                                 : first.kind == RunErrorKind::StoppedResponding ? "A worker on processor " + processor + " stopped responding"
                                 : "Processor " + processor + " computed a wrong result (" + CheckPartName(first.part) + ")";
        std::snprintf(m_notifyIcon.szInfo, sizeof m_notifyIcon.szInfo, "%s. See Results... for every processor.", what.c_str());
        Shell_NotifyIcon(NIM_MODIFY, &m_notifyIcon);
        // Shown once: later changes of the icon carry no notification.
        m_notifyIcon.uFlags &= ~NIF_INFO;
        m_notifyIcon.szInfo[0] = '\0';
    }
    if (!poll.limitReached.empty()) {
        // A safety limit: the load stops and the window stays, whatever --close-at-end says.
        WriteWarning(poll.limitReached);
        m_run->EndRun(poll.limitReached, false);
        ShowVerdict();
        return;
    }
    auto* app = dynamic_cast<CFerroxApp*>(m_run);
    PlanRunner* plan = app != nullptr ? app->Plan() : nullptr;
    const bool planOver = plan != nullptr && plan->Step(*m_run);
    if (planOver || m_run->DurationReached()) {
        m_run->EndRun(plan != nullptr ? "its plan ended" : "its duration ended", true);
        if (m_closeAtEnd) {
            PostCommand(kCmdExit);
        } else {
            ShowVerdict();
        }
    }
    // Every few seconds, and the final figures as soon as the run has ended.
    if (m_metrics != nullptr) m_metrics->Update(*m_run);
}

void CFerroxFrame::ShowVerdict() {
    const RunSummary summary = m_run->Summary();
    m_notifyIcon.uFlags |= NIF_INFO;
    m_notifyIcon.dwInfoFlags = summary.verdict == Verdict::Failed ? NIIF_ERROR
                               : summary.verdict == Verdict::Passed ? NIIF_INFO
                                                                    : NIIF_WARNING;
    std::snprintf(m_notifyIcon.szInfoTitle, sizeof m_notifyIcon.szInfoTitle, "Ferrox: %s", VerdictWord(summary.verdict));
    const std::string text = "The run ended after " + FormatRunTime(summary.elapsedSeconds) + ": " + VerdictText(summary) +
                             ". See Results... for every processor.";
    std::snprintf(m_notifyIcon.szInfo, sizeof m_notifyIcon.szInfo, "%s", text.c_str());
    Shell_NotifyIcon(NIM_MODIFY, &m_notifyIcon);
    m_notifyIcon.uFlags &= ~NIF_INFO;
    m_notifyIcon.szInfo[0] = '\0';
    ShowResults();
}

void CFerroxFrame::ShowNotice(const std::string& title, const std::string& text) {
    m_notifyIcon.uFlags |= NIF_INFO;
    m_notifyIcon.dwInfoFlags = NIIF_WARNING;
    std::snprintf(m_notifyIcon.szInfoTitle, sizeof m_notifyIcon.szInfoTitle, "%s", title.c_str());
    std::snprintf(m_notifyIcon.szInfo, sizeof m_notifyIcon.szInfo, "%s", text.c_str());
    Shell_NotifyIcon(NIM_MODIFY, &m_notifyIcon);
    m_notifyIcon.uFlags &= ~NIF_INFO;
    m_notifyIcon.szInfo[0] = '\0';
}

void CFerroxFrame::ShowResults() {
    if (m_run == nullptr) return;
    StressRun* run = m_run;
    m_results.Show(this, LoadString(kMainResourceId) + " Results", [run] {
        const RunSummary summary = run->Summary();
        auto* app = dynamic_cast<CFerroxApp*>(run);
        const std::optional<PlanResult> plan = app != nullptr ? app->PlanResultOf(summary) : std::nullopt;
        return ResultsTable(summary, run->Ended(), plan ? &*plan : nullptr);
    });
}

void CFerroxFrame::ShowMonitor() {
    if (m_run == nullptr || m_run->Monitor() == nullptr) return;
    StressRun* run = m_run;
    const double timeStampHz = static_cast<double>(m_clock.clockHz());
    m_monitor.Show(
        this, LoadString(kMainResourceId) + " Monitor",
        [run, timeStampHz] { return MonitorChart(*run->Monitor(), run->Summary(), timeStampHz); },
        [run](const std::string& path, std::string* error) {
            return SaveSeriesCsv(run->Monitor()->History(), path, error, MonitorEvents(*run->Monitor(), run->Summary()));
        });
}

void CFerroxFrame::OnGetMinMaxInfo(MINMAXINFO* info) {
    CFrameWnd::OnGetMinMaxInfo(info);
    CRect smallest = kSmallestClient;
    CalcWindowRect(&smallest);
    CRect largest = kLargestClient;
    CalcWindowRect(&largest);
    info->ptMinTrackSize = CPoint{smallest.Width(), smallest.Height()};
    info->ptMaxTrackSize = CPoint{largest.Width(), largest.Height()};
}

void CFerroxFrame::OnPaint(CDC& dc) { DrawScene(dc); }

void CFerroxFrame::DrawScene(CDC& dc) {
    CRect client;
    GetClientRect(&client);
    const int width = client.Width(), height = client.Height();
    const float elapsed = static_cast<float>(m_clock.seconds() - m_startTime);
    const float step = PaintTimeStep(elapsed, &m_lastPaintTime);
    // A new size gets a new frame buffer before the frame is drawn; a zero side leaves none.
    m_scene.ResizeTarget(width, height);
    m_scene.Update(step);
    ShowFrameBuffer(dc, width, height);
}

bool CFerroxFrame::OnEraseBkgnd(CDC& dc) {
    // The last frame, stretched if the window has changed size since; without one, the default.
    CRect client;
    GetClientRect(&client);
    return ShowFrameBuffer(dc, client.Width(), client.Height()) != 0 || CFrameWnd::OnEraseBkgnd(dc);
}

int CFerroxFrame::ShowFrameBuffer(CDC& dc, int width, int height) {
    if (m_scene.m_frameBuffer == nullptr) {
        return 0;
    }
    // A source size of 0 x 0 is the whole frame buffer.
    return StretchBitmap(&dc, 0, 0, width, height, m_scene.m_frameBuffer, 0, 0, 0, 0);
}

void CFerroxFrame::OnMouseMove(CPoint point) {
    SetCursor(StandardCursor::Hand);
    TrackMouseEvent(TME_HOVER | TME_LEAVE, HOVER_DEFAULT);
    ClientToScreen(&point);
    m_toolTip.TrackPosition(point.x + 16, point.y);
}

void CFerroxFrame::OnLButtonDown(CPoint) { SendCommand(kCmdHomePage); }

void CFerroxFrame::OnMouseHover(CPoint) {
    TOOLINFO info;
    if (m_toolTip.GetToolInfo(&info, this, kHomePageToolId)) {
        m_toolTip.TrackActivate(true, &info);
    }
}

void CFerroxFrame::OnMouseLeave() {
    TOOLINFO info;
    if (m_toolTip.GetToolInfo(&info, this, kHomePageToolId)) {
        m_toolTip.TrackActivate(false, &info);
    }
}

std::intptr_t CFerroxFrame::OnUserMessage(unsigned message, std::uintptr_t, std::intptr_t lParam) {
    if (message != kTrayCallbackMessage) {
        return 0;
    }
    if (lParam == WM_LBUTTONDOWN) {
        PostCommand(kCmdShow);
    } else if (lParam == WM_RBUTTONDOWN) {
        ShowTrayMenu();
    }
    return 0;
}

void CFerroxFrame::ShowTrayMenu() {
    CMenu menu;
    if (!menu.LoadMenu(kTrayMenuId)) {
        return;
    }
    if (CMenu* popup = menu.GetSubMenu(0)) {
        popup->SetDefaultItem(kCmdShow);
        CPoint cursor;
        GetCursorPos(&cursor);
        SetForegroundWindow();
        UpdateWindow();
        popup->TrackPopupMenu(TPM_BOTTOMALIGN | TPM_CENTERALIGN | TPM_RIGHTBUTTON, cursor.x,
                              cursor.y, this);
    }
    menu.DestroyMenu();
}

void CFerroxFrame::OnFrameCommand(unsigned id) {
    switch (id) {
    case kCmdAnimated:
        SetAnimated(m_animated == 0);
        if (auto* app = dynamic_cast<CFerroxApp*>(AfxGetApp())) app->KeepAnimated(m_animated != 0);
        break;
    case kCmdMinimize: ShowWindow(SW_MINIMIZE); break;
    case kCmdShow: ShowFromTray(); break;
    case kCmdResults: ShowResults(); break;
    case kCmdMonitor: ShowMonitor(); break;
    default: break;
    }
}

void CFerroxFrame::OnUpdateFrameCommand(CCmdUI& item) {
    if (item.m_nID == kCmdAnimated) {
        item.SetCheck(m_animated);
    }
}

void CFerroxFrame::SetAnimated(bool on) {
    if (on == (m_animated != 0)) {
        return;
    }
    // Every restart begins at the faded-out logo.
    if (on) {
        m_scene.ResetTime();
        m_scene.StartAnimation();
    } else {
        m_scene.StopAnimation();
        m_scene.ResetTime();
    }
    m_animated = on ? 1 : 0;
    InvalidateRect(false);
    UpdateWindow();
}

bool CFerroxFrame::HideToTray() {
    // Without a tray host a hidden window could never be brought back: minimise it instead.
    if (!m_trayShown) {
        ShowWindow(SW_MINIMIZE);
        return false;
    }
    SetExStyle((GetExStyle() | WS_EX_TOOLWINDOW) & ~WS_EX_APPWINDOW);
    ShowWindow(SW_HIDE);
    return true;
}

void CFerroxFrame::ShowFromTray() {
    std::uint32_t exStyle = GetExStyle();
    exStyle &= ~WS_EX_TOOLWINDOW;
    exStyle |= WS_EX_APPWINDOW;
    SetExStyle(exStyle);
    ShowWindow(SW_SHOWNORMAL);
    SetForegroundWindow();
}
