#include "app_fixture.h"

#include <QCoreApplication>
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
