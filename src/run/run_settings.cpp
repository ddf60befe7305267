#include "run/run_settings.h"

#include <cstdio>

#include "run/run_text.h"

PriorityPair PriorityPairOf(PriorityChoice choice) {
    switch (choice) {
    case PriorityChoice::Low: return {IDLE_PRIORITY_CLASS, THREAD_PRIORITY_IDLE};
    case PriorityChoice::High: return {HIGH_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL};
    case PriorityChoice::Realtime: return {REALTIME_PRIORITY_CLASS, THREAD_PRIORITY_TIME_CRITICAL};
    default: return {NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL};
    }
}

const char* PriorityChoiceKey(PriorityChoice choice) {
    switch (choice) {
    case PriorityChoice::Low: return "low";
    case PriorityChoice::High: return "high";
    case PriorityChoice::Realtime: return "realtime";
    default: return "normal";
    }
}

const char* LoadChoiceKey(LoadChoice choice) {
    switch (choice) {
    case LoadChoice::Avx2Fma: return "avx2";
    case LoadChoice::Avx512: return "avx512";
    case LoadChoice::Widest: return "widest";
    case LoadChoice::Cache: return "cache";
    case LoadChoice::Memory: return "memory";
    default: return "builtin";
    }
}

std::string DescribeSettings(const RunSettings& settings, const char* kernelName) {
    std::string threads = settings.cycleSeconds > 0 ? "one worker cycling every " + std::to_string(settings.cycleSeconds) + " s"
                          : settings.threads == 0 ? "one thread per processor"
                                                  : std::to_string(settings.threads) + " threads";
    std::string text = threads + ", priority " + PriorityChoiceKey(settings.priority) + ", load " +
                       LoadChoiceKey(settings.load) + " (" + kernelName + "), " + (settings.pin ? "pinned" : "not pinned") +
                       ", stop on error " + (settings.stopOnError ? "on" : "off") + ", duration " +
                       (settings.durationSeconds > 0 ? FormatRunTime(settings.durationSeconds) : std::string("none"));
    if (settings.load == LoadChoice::Memory) text += ", memory " + DescribeMemoryRequest(settings.memory);
    return text;
}
