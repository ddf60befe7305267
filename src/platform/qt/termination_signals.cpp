// Caught signals go through a pipe (the handler only writes one byte), so that the program acts
// on them outside the handler: in a wait, or in the window's event loop through a socket notifier.

#include "platform/termination_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <mutex>

#include "platform/common/termination_signals_internal.h"

namespace {

int g_pipe[2] = {-1, -1};

void OnTerminationSignal(int signal) {
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe (hundreds of unread signals) drops this one: the earlier ones already end the run.
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &number, 1);
    errno = savedErrno;
}

}  // namespace

void CatchTerminationSignals() {
    static std::once_flag caught;
    std::call_once(caught, [] {
        if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
        struct sigaction action = {};
        action.sa_handler = OnTerminationSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
        // A reader that goes away (ferrox --headless | head) must not kill the process before its
        // workers stop and its report is written: the write fails instead, and the program acts on it.
        signal(SIGPIPE, SIG_IGN);
    });
}

int TerminationSignalDescriptor() { return g_pipe[0]; }

int ReadTerminationSignal() {
    unsigned char number = 0;
    return g_pipe[0] >= 0 && read(g_pipe[0], &number, 1) == 1 ? number : 0;
}

int WaitForTerminationSignal(DWORD milliseconds) {
    if (g_pipe[0] < 0) {
        usleep(static_cast<useconds_t>(milliseconds) * 1000u);
        return 0;
    }
    pollfd readable{g_pipe[0], POLLIN, 0};
    const int timeout = milliseconds > 0x7FFFFFFFu ? -1 : static_cast<int>(milliseconds);
    int ready = 0;
    do {
        ready = poll(&readable, 1, timeout);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 ? ReadTerminationSignal() : 0;
}
