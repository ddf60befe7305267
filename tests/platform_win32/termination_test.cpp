// Termination on Windows: console control events become the Linux build's signal numbers, are
// kept in order for a headless wait, and reach the application through its window's messages
// (also when they came before the window watched them).

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>

#include "platform/frame_wnd.h"
#include "platform/resources.h"
#include "platform/termination_signals.h"
#include "platform/win32/frame_widget.h"
#include "platform/win32/termination_window.h"
#include "platform/win_app.h"

namespace {

constexpr wchar_t kChildVariable[] = L"FERROX_CONSOLE_EVENT_CHILD";
constexpr int kChildTimedOut = 3;

// The child this test program starts of itself: catches the signals, says it is ready (the named
// event given), and ends with 0 when Ctrl+Break arrives as SIGINT.
const bool g_ranAsChild = [] {
    wchar_t ready[128] = {};
    if (GetEnvironmentVariableW(kChildVariable, ready, 128) == 0) return false;
    CatchTerminationSignals();
    if (HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, ready)) SetEvent(event);
    const int signal = WaitForTerminationSignal(10000);
    ExitProcess(signal == SIGINT ? 0 : signal == 0 ? kChildTimedOut : 10 + signal);
    return true;
}();

class SignalApp : public CWinApp {
public:
    void OnTerminationSignal(int signal) override { signals.push_back(signal); }
    std::vector<int> signals;
};

class KeptFrame : public CFrameWnd {
public:
    void PostNcDestroy() override {}  // owned by the test
};

constexpr unsigned kFrameId = 310;
constexpr MenuResource kMenus[] = {{kFrameId, {}}};
constexpr StringResource kStrings[] = {{kFrameId, "Signals"}};
const ResourceTable kTable{kMenus, kStrings, {}};

}  // namespace

TEST(Win32Termination, SignalsAreKeptInOrderForAWait) {
    CatchTerminationSignals();
    KeepTerminationSignal(SIGTERM);
    KeepTerminationSignal(1);
    KeepTerminationSignal(SIGINT);
    EXPECT_EQ(WaitForTerminationSignal(0), SIGTERM);
    EXPECT_EQ(WaitForTerminationSignal(0), 1);
    EXPECT_EQ(WaitForTerminationSignal(INFINITE), SIGINT);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForTerminationSignal(50), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
    EXPECT_STREQ(TerminationSignalName(SIGINT), "SIGINT");
    EXPECT_STREQ(TerminationSignalName(SIGTERM), "SIGTERM");
    EXPECT_STREQ(TerminationSignalName(1), "SIGHUP");
    EXPECT_STREQ(TerminationSignalName(21), "signal 21");
}

TEST(Win32Termination, TheWatchingWindowHandsSignalsToTheApplication) {
    SignalApp app;
    ASSERT_EQ(AfxGetApp(), &app);
    AfxSetResourceTable(&kTable);
    KeptFrame frame;
    ASSERT_TRUE(frame.LoadFrame(kFrameId, WS_OVERLAPPEDWINDOW));
    KeepTerminationSignal(SIGTERM);  // before the window watches: told once it does
    WatchTerminationSignals(frame.GetFrameWidget()->Handle());
    KeepTerminationSignal(SIGINT);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    Win32MSG message;
    while (app.signals.size() < 2 && std::chrono::steady_clock::now() < deadline) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        SleepNative(1);
    }
    WatchTerminationSignals(nullptr);
    EXPECT_EQ(app.signals, (std::vector<int>{SIGTERM, SIGINT}));
    frame.DestroyWindow();
    AfxSetResourceTable(nullptr);
}

TEST(Win32Termination, CtrlBreakReachesAProcessAsSigint) {
    // Events go to the processes of a console: without one (a test started from a pipe), this
    // test makes one, keeping its own output where it was.
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE), output = GetStdHandle(STD_OUTPUT_HANDLE),
                 errors = GetStdHandle(STD_ERROR_HANDLE);
    const bool madeConsole = AllocConsole() != 0;
    SetStdHandle(STD_INPUT_HANDLE, input);
    SetStdHandle(STD_OUTPUT_HANDLE, output);
    SetStdHandle(STD_ERROR_HANDLE, errors);
    // The child runs in a process group of its own, so that the event reaches it alone.
    const std::wstring readyName = L"FerroxConsoleChildReady" + std::to_wstring(GetCurrentProcessId());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    ASSERT_NE(ready, nullptr);
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\" --gtest_list_tests";
    SetEnvironmentVariableW(kChildVariable, readyName.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    const BOOL started = CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP,
                                        nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableW(kChildVariable, nullptr);
    ASSERT_TRUE(started);
    ASSERT_EQ(WaitForNativeObject(ready, 20000), WAIT_OBJECT_0) << "the child never got ready";
    const bool sent = GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, child.dwProcessId) != 0;
    const Win32DWORD sendError = GetLastError();
    if (!sent) TerminateProcess(child.hProcess, 99);
    const bool ended = WaitForNativeObject(child.hProcess, 20000) == WAIT_OBJECT_0;
    Win32DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);
    if (!ended) TerminateProcess(child.hProcess, 99);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CloseHandle(ready);
    if (madeConsole) FreeConsole();
    if (!sent) GTEST_SKIP() << "this system sends no console control event (error " << sendError << ")";
    ASSERT_TRUE(ended);
    EXPECT_EQ(status, 0u) << (status == kChildTimedOut ? "no event arrived" : "another signal arrived");
}
