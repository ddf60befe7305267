// The main frame: title and tray tip over the run time, animation switch, showing from the tray,
// size limits, the tool tip and the client area link.
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolTip>

#include "app/command_ids.h"
#include "app/home_page.h"
#include "app_fixture.h"
#include "platform/qt/frame_widget.h"
#include "platform/shell.h"
#include "url_catcher.h"

namespace {
// A frame that counts how often its scene would be drawn.
class CountingFrame : public CFerroxFrame {
public:
    CountingFrame() : CFerroxFrame(TestClock::Make()) {}
    void DrawScene(CDC& dc) override {
        ++draws;
        CFerroxFrame::DrawScene(dc);
    }
    void PostNcDestroy() override {}  // the test owns it
    int draws = 0;
};

// A frame on its own (no application object), shown like the program shows it.
class FrameAlone : public ::testing::Test {
protected:
    void SetUp() override {
        TestClock::now = 500.0L;
        frame = std::make_unique<CountingFrame>();
        ASSERT_TRUE(frame->LoadFrame(kMainResourceId, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE));
        frame->MoveWindow(0, 0, 320, 240, true);
        frame->ShowWindow(SW_SHOW);
        ProcessEvents();
    }
    void TearDown() override {
        frame->DestroyWindow();
        frame.reset();
        ProcessEvents();
    }
    QWidget* View() { return frame->GetFrameWidget()->View(); }
    QSystemTrayIcon* Tray() { return frame->GetFrameWidget()->findChild<QSystemTrayIcon*>(); }

    std::unique_ptr<CountingFrame> frame;
};

std::string Tip(const CFerroxFrame& frame) { return frame.m_notifyIcon.szTip; }
}  // namespace

TEST_F(FrameAlone, TitleAndTrayTipFollowTheRunTime) {
    const struct {
        long double elapsed;
        const char* title;
        const char* tip;
    } cases[] = {
        {0.0L, "Ferrox 00:00:00 at 2100.0 MHz", ""},
        {0.9L, "Ferrox 00:00:00 at 2100.0 MHz", ""},
        {5.0L, "Ferrox 00:00:05 at 2100.0 MHz", "Ferrox 5 seconds."},
        {59.5L, "Ferrox 00:00:59 at 2100.0 MHz", "Ferrox 59 seconds."},
        {60.0L, "Ferrox 00:01:00 at 2100.0 MHz", "Ferrox 1 minutes 0 seconds."},
        {3599.0L, "Ferrox 00:59:59 at 2100.0 MHz", "Ferrox 59 minutes 59 seconds."},
        {3600.0L, "Ferrox 01:00:00 at 2100.0 MHz", "Ferrox 1 hours 0 minutes 0 seconds."},
        {3725.0L, "Ferrox 01:02:05 at 2100.0 MHz", "Ferrox 1 hours 2 minutes 5 seconds."},
        {360000.0L, "Ferrox 100:00:00 at 2100.0 MHz", "Ferrox 100 hours 0 minutes 0 seconds."},
    };
    for (const auto& c : cases) {
        TestClock::now = frame->m_startTime + c.elapsed;
        frame->UpdateTitle();
        EXPECT_EQ(frame->GetWindowText(), c.title) << static_cast<double>(c.elapsed);
        EXPECT_EQ(Tip(*frame), c.tip) << static_cast<double>(c.elapsed);
        // The icon on the desktop shows the same tip.
        EXPECT_EQ(NotifyIconTip(frame.get(), 0), c.tip);
    }
}

TEST(RunTimeText, BrokenClocksShowZeroAndHugeTimesStayInRange) {
    EXPECT_EQ(FormatTitle("Ferrox", -3.0L, 2.1e9L), "Ferrox 00:00:00 at 2100.0 MHz");
    EXPECT_EQ(FormatTrayTip("Ferrox", -3.0L), "");
    EXPECT_EQ(FormatTitle("Ferrox", 1e30L, 0.0L), "Ferrox 596523:14:07 at  0.0 MHz");
    EXPECT_EQ(FormatTitle("Ferrox", 12.0L, 123456.0L), "Ferrox 00:00:12 at  0.1 MHz");
}

TEST_F(FrameAlone, TrayTipNeverOverrunsItsRecord) {
    // A tip longer than the record's 128 bytes is cut, keeping the terminating zero.
    TestClock::now = frame->m_startTime + 3725.0L;
    frame->UpdateTitle();
    std::string shortTip = Tip(*frame);
    NOTIFYICONDATA long_tip = frame->m_notifyIcon;
    std::memset(long_tip.szTip, 'x', sizeof long_tip.szTip);  // no zero byte at all
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &long_tip));
    EXPECT_EQ(NotifyIconTip(frame.get(), 0), std::string(sizeof long_tip.szTip, 'x'));
    EXPECT_EQ(shortTip, "Ferrox 1 hours 2 minutes 5 seconds.");
}

TEST_F(FrameAlone, CreationAddsTrayIconTimerAndStartTime) {
    EXPECT_FLOAT_EQ(frame->m_startTime, 500.0f);
    EXPECT_TRUE(NotifyIconExists(frame.get(), 0));
    EXPECT_EQ(Tip(*frame), "Ferrox");
    EXPECT_EQ(frame->m_notifyIcon.uCallbackMessage, kTrayCallbackMessage);
    EXPECT_EQ(frame->m_notifyIcon.uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    EXPECT_NE(frame->m_notifyIcon.hIcon, nullptr);
    EXPECT_EQ(frame->GetWindowText(), "Ferrox");
    // The refresh timer rewrites the title within a few ticks.
    TestClock::now = 507.0L;
    ProcessEvents(350);
    EXPECT_EQ(frame->GetWindowText(), "Ferrox 00:00:07 at 2100.0 MHz");
}

TEST_F(FrameAlone, DestroyingTheWindowRemovesTheTrayIcon) {
    frame->DestroyWindow();
    EXPECT_FALSE(NotifyIconExists(frame.get(), 0));
    EXPECT_FALSE(frame->IsWindow());
}

TEST_F(FrameAlone, AnimationSwitchStopsOnlyTheTimersRepaints) {
    EXPECT_EQ(frame->m_animated, 1);
    int before = frame->draws;
    frame->OnTimer(kRefreshTimerId);
    EXPECT_GT(frame->draws, before);

    frame->SendCommand(kCmdAnimated);
    EXPECT_EQ(frame->m_animated, 0);
    CCmdUI item(kCmdAnimated);
    item.DoUpdate(*frame);
    EXPECT_FALSE(item.IsChecked());
    before = frame->draws;
    TestClock::now = frame->m_startTime + 9.0L;
    frame->OnTimer(kRefreshTimerId);
    EXPECT_EQ(frame->draws, before);
    EXPECT_EQ(frame->GetWindowText(), "Ferrox 00:00:09 at 2100.0 MHz");
    EXPECT_EQ(Tip(*frame), "Ferrox 9 seconds.");

    // Setting the state it already has changes nothing; switching back repaints.
    frame->SetAnimated(false);
    EXPECT_EQ(frame->m_animated, 0);
    frame->SetAnimated(true);
    EXPECT_EQ(frame->m_animated, 1);
    CCmdUI again(kCmdAnimated);
    again.DoUpdate(*frame);
    EXPECT_TRUE(again.IsChecked());
    before = frame->draws;
    frame->OnTimer(kRefreshTimerId);
    EXPECT_GT(frame->draws, before);
    // Only the refresh timer repaints.
    before = frame->draws;
    frame->OnTimer(1);
    EXPECT_EQ(frame->draws, before);
}

TEST_F(FrameAlone, MinimizeThenShowFromTrayBringsTheWindowBack) {
    frame->SendCommand(kCmdMinimize);
    ProcessEvents();
    EXPECT_TRUE(frame->IsIconic());
    frame->SetExStyle(frame->GetExStyle() | WS_EX_TOOLWINDOW);
    frame->SendCommand(kCmdShow);
    ProcessEvents();
    EXPECT_FALSE(frame->IsIconic());
    EXPECT_TRUE(frame->IsWindowVisible());
    EXPECT_EQ(frame->GetExStyle() & WS_EX_TOOLWINDOW, 0u);
    EXPECT_NE(frame->GetExStyle() & WS_EX_APPWINDOW, 0u);
}

TEST_F(FrameAlone, LeftClickOnTheTrayIconShowsTheWindow) {
    QSystemTrayIcon* tray = Tray();
    ASSERT_NE(tray, nullptr);
    frame->ShowWindow(SW_MINIMIZE);
    ProcessEvents();
    ASSERT_TRUE(frame->IsIconic());
    emit tray->activated(QSystemTrayIcon::Trigger);
    ProcessEvents(50);
    EXPECT_FALSE(frame->IsIconic());
    EXPECT_TRUE(frame->IsWindowVisible());
}

TEST_F(FrameAlone, RightClickOnTheTrayIconOpensTheTrayMenuWithShowInBold) {
    QSystemTrayIcon* tray = Tray();
    ASSERT_NE(tray, nullptr);
    std::string defaultText;
    std::vector<std::string> checked;
    std::vector<std::string> items;
    bool sawMenu = WithNextPopup([&] { emit tray->activated(QSystemTrayIcon::Context); },
                                 [&](QMenu* menu) {
                                     if (menu->defaultAction() != nullptr) {
                                         defaultText = menu->defaultAction()->text().toStdString();
                                     }
                                     for (QAction* action : menu->actions()) {
                                         items.push_back(action->text().toStdString());
                                         if (action->isChecked()) {
                                             checked.push_back(action->text().toStdString());
                                         }
                                     }
                                 });
    ASSERT_TRUE(sawMenu);
    EXPECT_EQ(defaultText, "&Show");
    // Only the Animated switch is checked: the frame alone has no application object for the
    // priority items.
    EXPECT_EQ(checked, std::vector<std::string>{"&Animated"});
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.front(), "&Show");
    EXPECT_EQ(items.back(), "&Exit");
}

TEST_F(FrameAlone, ChoosingFromTheTrayMenuReachesTheFrameAsACommand) {
    QSystemTrayIcon* tray = Tray();
    ASSERT_NE(tray, nullptr);
    ASSERT_EQ(frame->m_animated, 1);
    bool chose = WithNextPopup([&] { emit tray->activated(QSystemTrayIcon::Context); },
                               [](QMenu* menu) {
                                   for (QAction* action : menu->actions()) {
                                       if (action->text() == "&Animated") {
                                           menu->setActiveAction(action);
                                           QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return,
                                                           Qt::NoModifier);
                                           QApplication::sendEvent(menu, &enter);
                                       }
                                   }
                               });
    ASSERT_TRUE(chose);
    EXPECT_EQ(frame->m_animated, 0);
    // Other tray mouse messages and other user messages do nothing.
    EXPECT_EQ(frame->OnUserMessage(kTrayCallbackMessage, 0, WM_MBUTTONDOWN), 0);
    EXPECT_EQ(frame->OnUserMessage(kTrayCallbackMessage + 1, 0, WM_RBUTTONDOWN), 0);
    EXPECT_EQ(frame->m_animated, 0);
}

TEST_F(FrameAlone, ClientAreaStaysWithinItsLimitsAndNeverMaximises) {
    MINMAXINFO info{};
    frame->OnGetMinMaxInfo(&info);
    EXPECT_EQ(info.ptMinTrackSize.x, 160);
    EXPECT_EQ(info.ptMinTrackSize.y, 120);
    EXPECT_EQ(info.ptMaxTrackSize.x, 400);
    EXPECT_EQ(info.ptMaxTrackSize.y, 300);
    EXPECT_EQ(frame->GetStyle() & WS_MAXIMIZEBOX, 0u);

    const struct {
        int width, height;
        int clientWidth, clientHeight;
    } cases[] = {
        {320, 240, 320, 240}, {1000, 1000, 400, 300}, {10, 10, 160, 120}, {200, 290, 200, 290},
    };
    for (const auto& c : cases) {
        frame->MoveWindow(0, 0, c.width, c.height, true);
        ProcessEvents();
        CRect client;
        frame->GetClientRect(&client);
        EXPECT_EQ(client.Width(), c.clientWidth) << c.width << "x" << c.height;
        EXPECT_EQ(client.Height(), c.clientHeight) << c.width << "x" << c.height;
    }

    frame->GetFrameWidget()->showMaximized();
    ProcessEvents(50);
    EXPECT_FALSE(frame->IsZoomed());
}

TEST_F(FrameAlone, MoveWindowPlacesTheClientAreasCorner) {
    frame->MoveWindow(50, 60, 300, 200, true);
    ProcessEvents();
    CPoint corner{0, 0};
    frame->ClientToScreen(&corner);
    EXPECT_EQ(corner.x, 50);
    EXPECT_EQ(corner.y, 60);
    CRect client;
    frame->GetClientRect(&client);
    EXPECT_EQ(client.Width(), 300);
    EXPECT_EQ(client.Height(), 200);
}

TEST_F(FrameAlone, ToolTipTracksTheMouseWithTheHomePageAddress) {
    TOOLINFO info;
    ASSERT_TRUE(frame->m_toolTip.GetToolInfo(&info, frame.get(), kHomePageToolId));
    EXPECT_EQ(std::string(info.lpszText), std::string(kHomePageAddress) + " (homepage)");
    EXPECT_EQ(info.uFlags & (TTF_TRACK | TTF_ABSOLUTE | TTF_TRANSPARENT),
              TTF_TRACK | TTF_ABSOLUTE | TTF_TRANSPARENT);
    EXPECT_EQ(frame->m_toolTip.GetDelayTime(TTDT_INITIAL), 500);
    CRect client;
    frame->GetClientRect(&client);
    EXPECT_EQ(info.rect.Width(), client.Width());
    EXPECT_EQ(info.rect.Height(), client.Height());

    QMouseEvent move(QEvent::MouseMove, QPointF(40, 30), View()->mapToGlobal(QPointF(40, 30)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(View(), &move);
    EXPECT_EQ(View()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(frame->m_toolTip.IsTrackingActive());
    ProcessEvents(600);  // the hover time passes
    EXPECT_TRUE(frame->m_toolTip.IsTrackingActive());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(View(), &leave);
    EXPECT_FALSE(frame->m_toolTip.IsTrackingActive());
}

TEST_F(FrameAlone, ToolRectangleFollowsTheClientArea) {
    frame->MoveWindow(0, 0, 200, 150, true);
    ProcessEvents();
    TOOLINFO info;
    ASSERT_TRUE(frame->m_toolTip.GetToolInfo(&info, frame.get(), kHomePageToolId));
    EXPECT_EQ(info.rect.Width(), 200);
    EXPECT_EQ(info.rect.Height(), 150);
}

using FrameInApp = RunningApp;

TEST_F(FrameInApp, StartsShownWithA320By240ClientArea) {
    ProcessEvents();
    CRect client;
    Frame().GetClientRect(&client);
    EXPECT_EQ(client.Width(), 320);
    EXPECT_EQ(client.Height(), 240);
    EXPECT_TRUE(Frame().IsWindowVisible());
    EXPECT_EQ(app->m_pMainWnd, app->m_frame);
}

TEST_F(FrameInApp, LeftClickInTheClientAreaOpensTheHomePage) {
    app->StartWorkers(0);
    UrlCatcher catcher;
    QWidget* view = Frame().GetFrameWidget()->View();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    ASSERT_EQ(catcher.opened.size(), 1u);
    EXPECT_EQ(catcher.opened[0].toString().toStdString(), kHomePageAddress);
    // Other buttons are no link.
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(view, &right);
    EXPECT_EQ(catcher.opened.size(), 1u);
}

TEST_F(FrameInApp, TrayMenuChecksTheApplicationsSettings) {
    UseOneWorker();
    QSystemTrayIcon* tray = Frame().GetFrameWidget()->findChild<QSystemTrayIcon*>();
    ASSERT_NE(tray, nullptr);
    std::vector<std::string> checked;
    bool sawMenu = WithNextPopup([&] { emit tray->activated(QSystemTrayIcon::Context); },
                                 [&](QMenu* menu) {
                                     for (QAction* action : menu->actions()) {
                                         if (QMenu* threads = action->menu()) {
                                             emit threads->aboutToShow();  // as when it opens
                                             for (QAction* sub : threads->actions()) {
                                                 if (sub->isChecked())
                                                     checked.push_back(sub->text().toStdString());
                                             }
                                         } else if (action->isChecked()) {
                                             checked.push_back(action->text().toStdString());
                                         }
                                     }
                                 });
    ASSERT_TRUE(sawMenu);
    EXPECT_EQ(checked, (std::vector<std::string>{"&1 Thread", "&1 Minute", "Normal Priority", "&Widest Available",
                                                 "&70% of Available", "&Pin Workers to Processors", "&Critical Point - 5 \u00b0C", "&Animated"}));
}
