#include "run/run_settings.h"

#include <charconv>
#include <cstdio>

#include "run/run_text.h"

namespace {
constexpr double kLongestRun = 366.0 * 24 * 3600;

bool ParseWhole(const std::string& text, unsigned long long* value) {
    if (text.empty() || text.size() > 12) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return error == std::errc() && end == text.data() + text.size();
}
}  // namespace

bool ParseDuration(const std::string& text, double* seconds) {
    unsigned long long whole = 0;
    double total = 0.0;
    if (ParseWhole(text, &whole)) {
        total = static_cast<double>(whole);
    } else {
        // Hours, minutes and seconds, each at most once and in that order.
        const char units[] = {'h', 'm', 's'};
        const double unitSeconds[] = {3600.0, 60.0, 1.0};
        std::size_t at = 0;
        int nextUnit = 0;
        while (at < text.size()) {
            std::size_t digits = at;
            while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
            if (digits == at || digits == text.size()) return false;
            int unit = nextUnit;
            while (unit < 3 && units[unit] != text[digits]) ++unit;
            if (unit == 3 || !ParseWhole(text.substr(at, digits - at), &whole)) return false;
            total += static_cast<double>(whole) * unitSeconds[unit];
            nextUnit = unit + 1;
            at = digits + 1;
        }
        if (text.empty()) return false;
    }
    if (total <= 0.0 || total > kLongestRun) return false;
    if (seconds != nullptr) *seconds = total;
    return true;
}

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
                          : settings.threads == 1               ? std::string("1 thread")
                                                                : std::to_string(settings.threads) + " threads";
    std::string text = threads + ", priority " + PriorityChoiceKey(settings.priority) + ", load " +
                       LoadChoiceKey(settings.load) + " (" + kernelName + "), " + (settings.pin ? "pinned" : "not pinned") +
                       ", stop on error " + (settings.stopOnError ? "on" : "off") + ", duration " +
                       (settings.durationSeconds > 0 ? FormatRunTime(settings.durationSeconds) : std::string("none"));
    if (settings.variablePeriodSeconds > 0.0) text += ", variable load " + VariableLoadText(settings);
    if (settings.load == LoadChoice::Memory) text += ", memory " + DescribeMemoryRequest(settings.memory);
    return text;
}

std::string VariableLoadText(const RunSettings& settings) {
    if (settings.variablePeriodSeconds <= 0.0) return "off (steady)";
    char text[64];
    std::snprintf(text, sizeof text, "%g ms periods, %.0f%% on", settings.variablePeriodSeconds * 1000.0,
                  settings.variableOnShare * 100.0);
    return text;
}
