#include "platform/termination_signals.h"

#include <csignal>
#include <cstdio>

#include "platform/common/termination_signals_internal.h"

#ifdef SIGHUP
static_assert(SIGHUP == kHangUpSignal, "a hang-up is signal 1 on every system with signals");
#endif

const char* TerminationSignalName(int signal) {
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case kHangUpSignal: return "SIGHUP";
    default: {
        static thread_local char text[24];
        std::snprintf(text, sizeof text, "signal %d", signal);
        return text;
    }
    }
}
