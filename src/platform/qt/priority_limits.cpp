// The nice values this process may set: Linux lets a thread raise its nice value freely but lower
// it only down to 20 - RLIMIT_NICE, unless the process has CAP_SYS_NICE.

#include "platform/qt/priority_limits.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <string>

namespace {

constexpr int kCapSysNice = 23;

bool HasCapSysNice() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("CapEff:", 0) != 0) continue;
        try {
            const std::uint64_t effective = std::stoull(line.substr(7), nullptr, 16);
            return (effective >> kCapSysNice) & 1u;
        } catch (...) {
            return false;
        }
    }
    return false;
}

NiceLimits ReadLimits() {
    NiceLimits limits{};
    errno = 0;
    const int start = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
    limits.startNice = (start == -1 && errno != 0) ? 0 : start;
    limits.capSysNice = HasCapSysNice();
    rlimit rl{};
    limits.rlimitNice = 0;
    if (getrlimit(RLIMIT_NICE, &rl) == 0) {
        limits.rlimitNice = rl.rlim_cur == RLIM_INFINITY ? -1 : static_cast<long>(std::min<rlim_t>(rl.rlim_cur, 40));
    }
    if (limits.capSysNice || limits.rlimitNice < 0) {
        limits.lowestNice = -20;
    } else {
        limits.lowestNice = std::clamp(20 - static_cast<int>(limits.rlimitNice), -20, 20);
    }
    return limits;
}

}  // namespace

const NiceLimits& ProcessNiceLimits() {
    static const NiceLimits limits = ReadLimits();
    return limits;
}

bool NiceStepAllowed(const NiceLimits& limits, int from, int to) { return to >= from || to >= limits.lowestNice; }
