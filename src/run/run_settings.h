#pragma once
// The settings of one run: what the menus change and the command line sets.

#include <string>

#include "load/load_kernel.h"
#include "memtest/memory_size.h"
#include "platform/win_types.h"

enum class PriorityChoice : int { Low, Normal, High, Realtime };

struct PriorityPair {
    DWORD priorityClass;
    int threadPriority;
};

// The Win32 pair a priority choice stands for.
PriorityPair PriorityPairOf(PriorityChoice choice);
// "low", "normal", "high", "realtime": the command line's words and the report's values.
const char* PriorityChoiceKey(PriorityChoice choice);
// "builtin", "avx2", "avx512", "widest", "cache", "memory".
const char* LoadChoiceKey(LoadChoice choice);

struct RunSettings {
    unsigned threads = 0;       // 0: one per processor this process may use
    unsigned cycleSeconds = 0;  // 0: no core cycling; else one pinned worker moves on this often
    PriorityChoice priority = PriorityChoice::Normal;
    LoadChoice load = LoadChoice::Widest;  // the widest self-checked kernel
    bool pin = true;
    bool stopOnError = false;
    double durationSeconds = 0.0;  // 0: until stopped
    MemorySizeRequest memory;      // the memory load's buffer

    bool operator==(const RunSettings&) const = default;
};

// One line for the log: "2 threads, priority normal, load builtin (x87 mix), pinned, ...".
std::string DescribeSettings(const RunSettings& settings, const char* kernelName);
