// Memory figures from /proc/meminfo; the out-of-memory score through /proc/self/oom_score_adj.

#include "platform/memory_status.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

MemoryStatus ReadMemoryStatus() {
    MemoryStatus status;
    std::ifstream meminfo("/proc/meminfo");
    std::string line;
    bool total = false, available = false;
    while (std::getline(meminfo, line)) {
        std::istringstream fields(line);
        std::string key, unit;
        unsigned long long value = 0;
        if (!(fields >> key >> value)) continue;
        fields >> unit;
        const std::uint64_t bytes = unit == "kB" ? value * 1024ull : value;
        if (key == "MemTotal:") {
            status.totalBytes = bytes;
            total = true;
        } else if (key == "MemAvailable:") {
            status.availableBytes = bytes;
            available = true;
        }
    }
    status.known = total && available;
    return status;
}

std::string PreferThisProcessWhenOutOfMemory() {
    // Raising one's own score needs no privilege; the kernel's killer then picks Ferrox first.
    std::FILE* file = std::fopen("/proc/self/oom_score_adj", "w");
    if (file == nullptr) return std::string("/proc/self/oom_score_adj: ") + std::strerror(errno);
    const bool written = std::fputs("1000\n", file) >= 0;
    const int error = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) return std::string("/proc/self/oom_score_adj: ") + std::strerror(error);
    return {};
}
