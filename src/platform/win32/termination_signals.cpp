// Console control events (Ctrl+C, Ctrl+Break, the console closed, logoff, shutdown) arrive on a
// thread the system starts for them. The handler keeps each as the signal number the Linux build
// reports for the same event, wakes a headless wait and posts a message to the window that watches
// them; the program then acts on them outside the handler.

#include "platform/win32/windows_api.h"

#include <csignal>
#include <deque>
#include <mutex>

#include "platform/termination_signals.h"
#include "platform/common/termination_signals_internal.h"
#include "platform/win32/termination_window.h"

namespace {

// Windows' C library has no SIGHUP: the Linux number, so that both builds name the same event alike.

std::mutex g_lock;
std::deque<int> g_caught;
HANDLE g_arrived = nullptr;  // auto-reset event: set when a signal is kept
HWND g_window = nullptr;
bool g_catching = false;

int SignalForEvent(Win32DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: return SIGINT;
    case CTRL_CLOSE_EVENT: return kHangUpSignal;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: return SIGTERM;
    default: return 0;
    }
}

BOOL WINAPI OnConsoleEvent(Win32DWORD event) {
    const int signal = SignalForEvent(event);
    if (signal == 0) return FALSE;
    KeepTerminationSignal(signal);
    // For a closed console, logoff and shutdown the process ends as soon as the handler returns:
    // wait here (Windows allows some 5 seconds) so that the program can stop its workers and write
    // its report; the process's end ends this thread too.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) SleepNative(10000);
    return TRUE;
}

}  // namespace

void KeepTerminationSignal(int signal) {
    HWND window = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_caught.push_back(signal);
        window = g_window;
        if (g_arrived != nullptr) SetEvent(g_arrived);
    }
    if (window != nullptr) PostMessageW(window, TerminationSignalMessage(), 0, 0);
}

unsigned TerminationSignalMessage() {
    static const unsigned message = RegisterWindowMessageW(L"FerroxTerminationSignal");
    return message;
}

void WatchTerminationSignals(HWND window) {
    bool waiting = false;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_window = window;
        waiting = !g_caught.empty();
    }
    // Signals that came before the window watched them.
    if (window != nullptr && waiting) PostMessageW(window, TerminationSignalMessage(), 0, 0);
}

void CatchTerminationSignals() {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_catching) return;
    g_arrived = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // Ctrl+C reaches a process only when it has not been told to ignore it (its parent may have).
    SetConsoleCtrlHandler(nullptr, FALSE);
    g_catching = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

int TerminationSignalDescriptor() { return -1; }

int ReadTerminationSignal() {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_caught.empty()) return 0;
    const int signal = g_caught.front();
    g_caught.pop_front();
    return signal;
}

int WaitForTerminationSignal(DWORD milliseconds) {
    HANDLE arrived = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        arrived = g_arrived;
    }
    if (arrived == nullptr) {
        SleepNative(milliseconds);
        return ReadTerminationSignal();
    }
    // The event may still be set for signals already taken (by the window or an earlier call):
    // wait again until one is there or the time is up.
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        if (const int signal = ReadTerminationSignal(); signal != 0) return signal;
        const ULONGLONG now = GetTickCount64();
        if (milliseconds != INFINITE && now >= deadline) return 0;
        WaitForNativeObject(arrived, milliseconds == INFINITE ? kNativeInfinite : static_cast<Win32DWORD>(deadline - now));
    }
}
