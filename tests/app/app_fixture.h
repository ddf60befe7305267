// Shared pieces of the application shell's tests: a clock the test sets, event processing, and
// a running Ferrox application object with its main frame.
#pragma once

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "app/ferrox_app.h"
#include "app/ferrox_frame.h"

// The frame's clock in tests: seconds are whatever the test says, the clock runs at 2.1 GHz.
struct TestClock {
    static inline long double now = 1000.0L;
    static long double Seconds() { return now; }
    static long double ClockHz() { return 2.1e9L; }
    static FrameClock Make() { return FrameClock{Seconds, ClockHz}; }
};

// Lets queued work (posted commands, tray callbacks, deferred deletes) run.
void ProcessEvents(int milliseconds = 0);

unsigned LiveWorkerCount(const CFerroxApp& app);

class QMenu;
// Calls open, then inspect with the first popup menu that appears, and closes that menu; false
// when none appeared within 5 s.
bool WithNextPopup(const std::function<void()>& open, const std::function<void(QMenu*)>& inspect);

// InitInstance of a fresh CFerroxApp with the test clock; torn down like the program's exit.
class RunningApp : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    CFerroxFrame& Frame() { return *app->m_frame; }
    // Drops the load to one worker, enough for every check that needs one.
    void UseOneWorker();

    std::unique_ptr<CFerroxApp> app;
};
