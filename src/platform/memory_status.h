#pragma once
// How much memory the machine has and how much it can still give without swapping, and asking the
// system to take Ferrox first when it runs out.

#include <cstdint>
#include <string>

struct MemoryStatus {
    bool known = false;
    std::uint64_t totalBytes = 0;
    // What can still be used without swapping: Linux's MemAvailable, Windows' available physical
    // memory.
    std::uint64_t availableBytes = 0;
};

MemoryStatus ReadMemoryStatus();

// Makes Ferrox the first process the system ends when memory runs out (Linux: oom_score_adj
// 1000), so that a memory load never costs the user another program. Empty when done or not
// needed; otherwise why it could not be.
std::string PreferThisProcessWhenOutOfMemory();
