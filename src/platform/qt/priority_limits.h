#pragma once
// Internal to the platform layer: what this process may do with nice values, found out once.

struct NiceLimits {
    int startNice;    // the main thread's nice value when first asked: "Normal" maps onto it
    int lowestNice;   // no thread may be given a lower value (-20 with CAP_SYS_NICE)
    long rlimitNice;  // RLIMIT_NICE's soft limit (-1: unlimited), for messages
    bool capSysNice;  // CAP_SYS_NICE in the effective set
};

const NiceLimits& ProcessNiceLimits();
// Whether the system lets a thread go from nice value from to nice value to.
bool NiceStepAllowed(const NiceLimits& limits, int from, int to);
