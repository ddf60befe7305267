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
    // Safety limits that stop the run: the processor temperature (kLimitFromSensors: the sensors'
    // own critical point less 5 °C where they publish one; kNoLimit: none) and the package power.
    double maxCelsius = 0.0;
    double maxWatts = 0.0;
    // A variable load (test plans): work for variableOnShare of every variablePeriodSeconds, rest
    // the rest; 0: a steady load.
    double variablePeriodSeconds = 0.0;
    double variableOnShare = 1.0;
    MemorySizeRequest memory;      // the memory load's buffer

    bool operator==(const RunSettings&) const = default;
};

inline constexpr double kLimitFromSensors = 0.0;  // maxCelsius: the default
inline constexpr double kNoLimit = -1.0;          // maxCelsius, maxWatts (maxWatts 0 is none too)

// "90s", "10m", "2h", "1h30m", "45": seconds. False for anything else, zero, or over a year.
bool ParseDuration(const std::string& text, double* seconds);

// "100 ms periods, 50% on", or "off (steady)".
std::string VariableLoadText(const RunSettings& settings);

// One line for the log: "2 threads, priority normal, load builtin (x87 mix), pinned, ...".
std::string DescribeSettings(const RunSettings& settings, const char* kernelName);
