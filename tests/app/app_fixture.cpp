#include "app_fixture.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QElapsedTimer>
#include <QEvent>

#include "app/command_ids.h"

void ProcessEvents(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (timer.elapsed() < milliseconds);
}

bool WithNextPopup(const std::function<void()>& open, const std::function<void(QMenu*)>& inspect) {
    bool seen = false;
    // Polls from inside the popup's own event loop.
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu != nullptr && !seen) {
            seen = true;
            inspect(menu);
            menu->close();
        }
    });
    poll.start();
    open();
    QElapsedTimer waited;
    waited.start();
    while (!seen && waited.elapsed() < 5000) {
        ProcessEvents(10);
    }
    poll.stop();
    ProcessEvents(50);  // the popup returns and its choice, if any, is posted
    return seen;
}

unsigned LiveWorkerCount(const CFerroxApp& app) {
    unsigned count = 0;
    for (CWinThread* worker : app.m_workers) {
        count += worker != nullptr ? 1 : 0;
    }
    return count;
}

void RunningApp::SetUp() {
    TestClock::now = 1000.0L;
    app = std::make_unique<CFerroxApp>();
    app->m_frameClock = TestClock::Make();
    ASSERT_EQ(AfxGetApp(), app.get());
    ASSERT_NE(app->InitInstance(), 0);
    ASSERT_NE(app->m_frame, nullptr);
}

void RunningApp::TearDown() {
    if (app->m_frame != nullptr) {
        app->m_frame->DestroyWindow();
    }
    EXPECT_EQ(app->m_frame, nullptr);
    app->ExitInstance();
    app.reset();
    ProcessEvents();
}

void RunningApp::UseOneWorker() {
    app->m_frame->SendCommand(kCmdOneThread);
    ASSERT_EQ(LiveWorkerCount(*app), 1u);
}
