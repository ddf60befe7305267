// The main window: menu bar, the logo's client area (a link to the home page), run time and
// clock in the title and the tray tip, refreshed by a 100 ms timer, and the tray icon's menu.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/frame_clock.h"
#include "display/animation_scene.h"
#include "platform/chart_window.h"
#include "platform/frame_wnd.h"
#include "platform/shell.h"
#include "platform/table_window.h"
#include "platform/tool_tip.h"

class MetricsFile;
class StressRun;

inline constexpr unsigned kRefreshTimerId = 57728;
inline constexpr unsigned kRefreshMilliseconds = 100;
inline constexpr unsigned kTrayCallbackMessage = 0x500;
inline constexpr unsigned kHomePageToolId = 126;

class CFerroxFrame : public CFrameWnd {
public:
    // run (may be null) is the run the title, the tray and the Results window show.
    explicit CFerroxFrame(FrameClock clock = FrameClock{}, StressRun* run = nullptr);
    ~CFerroxFrame() override;

    virtual void UpdateTitle();
    virtual void OnFrameCommand(unsigned id);
    virtual void OnUpdateFrameCommand(CCmdUI& item);
    virtual void DrawScene(CDC& dc);

    void SetAnimated(bool on);
    void ShowFromTray();
    // Keeps the window out of sight with only its tray icon (start-up in the tray); without a tray
    // host it minimises the window instead and returns false.
    bool HideToTray();
    // Takes the run's news: the first error turns the tray icon red and shows one notification.
    // At the end of the run's duration the load stops and the window stays, with the verdict in
    // its title, the Results window and one notification (or closes, with SetCloseAtEnd). Called
    // by every timer tick.
    void PollRun();
    void SetCloseAtEnd(bool close) { m_closeAtEnd = close; }
    // The file PollRun keeps the run's figures in (--metrics); null: none.
    void SetMetricsFile(MetricsFile* metrics) { m_metrics = metrics; }
    // One warning notification from the tray icon (the window may be hidden).
    void ShowNotice(const std::string& title, const std::string& text);
    // Shows (or raises) the Results window.
    void ShowResults();
    const CTableWindow& ResultsWindow() const { return m_results; }
    // Shows (or raises) the Monitor window.
    void ShowMonitor();
    CChartWindow& MonitorWindow() { return m_monitor; }

    bool PreCreateWindow(CREATESTRUCT& cs) override;
    int OnCreate() override;
    void OnDestroy() override;
    void OnSize(int clientWidth, int clientHeight) override;
    void OnTimer(unsigned id) override;
    void OnGetMinMaxInfo(MINMAXINFO* info) override;
    void OnPaint(CDC& dc) override;
    bool OnEraseBkgnd(CDC& dc) override;
    void OnMouseMove(CPoint point) override;
    void OnLButtonDown(CPoint point) override;
    void OnMouseHover(CPoint point) override;
    void OnMouseLeave() override;
    std::intptr_t OnUserMessage(unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam) override;

    NOTIFYICONDATA m_notifyIcon{};
    int m_animated = 1;
    AnimationScene m_scene;  // the logo and its frame buffer
    CToolTipCtrl m_toolTip;
    float m_startTime = 0.0f;
    float m_lastPaintTime = 0.0f;

protected:
    std::span<const CommandMapEntry> GetCommandMap() const override;

private:
    void CreateToolTip();
    void ShowTrayMenu();
    // Copies the scene's frame buffer onto the width x height client area of dc: nonzero when
    // copied, 0 without a frame buffer or when the copy fails.
    int ShowFrameBuffer(CDC& dc, int width, int height);

    // The verdict's notification and the Results window, once, when the run has ended by itself.
    void ShowVerdict();

    FrameClock m_clock;
    StressRun* m_run;
    bool m_closeAtEnd = false;
    MetricsFile* m_metrics = nullptr;
    bool m_trayShown = false;  // a tray host shows the icon
    std::string m_toolTipText;
    CTableWindow m_results;
    CChartWindow m_monitor;
};

// The title and the tray tip for a run time of elapsedSeconds and a clock of clockHz.
std::string FormatTitle(const std::string& name, long double elapsedSeconds, long double clockHz);
std::string FormatTrayTip(const std::string& name, long double elapsedSeconds);
