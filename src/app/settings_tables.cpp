// What each settings command means: a worker count, a priority, a cycle period or a load.
#include "app/command_ids.h"
#include "app/ferrox_app.h"

namespace {
struct ThreadItem {
    unsigned id;
    unsigned count;
};
constexpr ThreadItem kThreadItems[] = {
    {kCmdOneThread, 1}, {kCmdTwoThreads, 2}, {kCmdFourThreads, 4}, {kCmdEightThreads, 8}, {kCmdSixteenThreads, 16},
};

struct PeriodItem {
    unsigned id;
    unsigned seconds;
};
constexpr PeriodItem kPeriodItems[] = {
    {kCmdCycle10Seconds, 10}, {kCmdCycle1Minute, 60}, {kCmdCycle5Minutes, 300}, {kCmdCycle10Minutes, 600},
};

struct PriorityItem {
    unsigned id;
    PriorityChoice choice;
};
constexpr PriorityItem kPriorityItems[] = {
    {kCmdLowPriority, PriorityChoice::Low},
    {kCmdNormalPriority, PriorityChoice::Normal},
    {kCmdHighPriority, PriorityChoice::High},
    {kCmdRealtimePriority, PriorityChoice::Realtime},
};

struct LoadItem {
    unsigned id;
    LoadChoice choice;
};
constexpr LoadItem kLoadItems[] = {
    {kCmdLoadBuiltin, LoadChoice::Builtin},
    {kCmdLoadAvx2, LoadChoice::Avx2Fma},
    {kCmdLoadAvx512, LoadChoice::Avx512},
    {kCmdLoadWidest, LoadChoice::Widest},
    {kCmdLoadCache, LoadChoice::Cache},
    {kCmdLoadMemory, LoadChoice::Memory},
};

struct MemoryItem {
    unsigned id;
    double percent;
};
constexpr MemoryItem kMemoryItems[] = {
    {kCmdMemory10Percent, 10.0}, {kCmdMemory25Percent, 25.0}, {kCmdMemory50Percent, 50.0}, {kCmdMemory70Percent, 70.0},
};
struct LimitItem {
    unsigned id;
    double maxCelsius;
};
constexpr LimitItem kLimitItems[] = {
    {kCmdLimitFromSensors, kLimitFromSensors}, {kCmdLimit80, 80.0}, {kCmdLimit85, 85.0},
    {kCmdLimit90, 90.0},                       {kCmdLimit95, 95.0}, {kCmdLimitNone, kNoLimit},
};
}  // namespace

double TemperatureLimitForCommand(unsigned id) {
    for (const LimitItem& item : kLimitItems)
        if (item.id == id) return item.maxCelsius;
    return kLimitFromSensors;
}

unsigned CommandForTemperatureLimit(double maxCelsius) {
    for (const LimitItem& item : kLimitItems)
        if (item.maxCelsius == maxCelsius) return item.id;
    return 0;  // a limit no item has (from the command line)
}

unsigned ThreadCountForCommand(unsigned id, const SYSTEM_INFO& systemInfo) {
    if (id == kCmdAutomaticThreads) return systemInfo.dwNumberOfProcessors;
    for (const ThreadItem& item : kThreadItems)
        if (item.id == id) return item.count;
    return 0;
}

unsigned CommandForThreadCount(unsigned threads) {
    if (threads == 0) return kCmdAutomaticThreads;
    for (const ThreadItem& item : kThreadItems)
        if (item.count == threads) return item.id;
    return 0;
}

PriorityPair PriorityPairForCommand(unsigned id) { return PriorityPairOf(PriorityChoiceForCommand(id)); }

PriorityChoice PriorityChoiceForCommand(unsigned id) {
    for (const PriorityItem& item : kPriorityItems)
        if (item.id == id) return item.choice;
    return PriorityChoice::Normal;
}

unsigned CommandForPriority(PriorityChoice choice) {
    for (const PriorityItem& item : kPriorityItems)
        if (item.choice == choice) return item.id;
    return kCmdNormalPriority;
}

unsigned CyclePeriodForCommand(unsigned id) {
    for (const PeriodItem& item : kPeriodItems)
        if (item.id == id) return item.seconds;
    return 60;
}

unsigned CommandForCyclePeriod(unsigned seconds) {
    for (const PeriodItem& item : kPeriodItems)
        if (item.seconds == seconds) return item.id;
    return 0;
}

LoadChoice LoadChoiceForCommand(unsigned id) {
    for (const LoadItem& item : kLoadItems)
        if (item.id == id) return item.choice;
    return LoadChoice::Builtin;
}

unsigned CommandForLoadChoice(LoadChoice choice) {
    for (const LoadItem& item : kLoadItems)
        if (item.choice == choice) return item.id;
    return kCmdLoadBuiltin;
}

MemorySizeRequest MemoryRequestForCommand(unsigned id) {
    MemorySizeRequest request;
    for (const MemoryItem& item : kMemoryItems) {
        if (item.id != id) continue;
        request.kind = MemorySizeRequest::Kind::Percent;
        request.percent = item.percent;
    }
    return request;
}

unsigned CommandForMemoryRequest(const MemorySizeRequest& request) {
    const double percent = request.kind == MemorySizeRequest::Kind::Default ? kDefaultMemoryPercent
                           : request.kind == MemorySizeRequest::Kind::Percent ? request.percent
                                                                              : -1.0;
    for (const MemoryItem& item : kMemoryItems)
        if (item.percent == percent) return item.id;
    return 0;
}
