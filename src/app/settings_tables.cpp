// What each settings command means: a worker count or a priority pair.
#include "app/command_ids.h"
#include "app/ferrox_app.h"

unsigned ThreadCountForCommand(unsigned id, const SYSTEM_INFO& systemInfo) {
    switch (id) {
    case kCmdAutomaticThreads: return systemInfo.dwNumberOfProcessors;
    case kCmdOneThread: return 1;
    case kCmdTwoThreads: return 2;
    case kCmdFourThreads: return 4;
    case kCmdEightThreads: return 8;
    case kCmdSixteenThreads: return 16;
    default: return 0;
    }
}

PriorityPair PriorityPairForCommand(unsigned id) {
    switch (id) {
    case kCmdLowPriority: return {IDLE_PRIORITY_CLASS, THREAD_PRIORITY_IDLE};
    case kCmdHighPriority: return {HIGH_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL};
    case kCmdRealtimePriority: return {REALTIME_PRIORITY_CLASS, THREAD_PRIORITY_TIME_CRITICAL};
    default: return {NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL};
    }
}
