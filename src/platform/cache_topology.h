#pragma once
// The caches a logical processor sits on: level, kind, size and how many logical processors share
// each one.

#include <cstdint>
#include <string>
#include <vector>

enum class CacheKind : int { Data, Instruction, Unified };

struct CacheLevel {
    int level = 0;  // 1, 2, 3...
    CacheKind kind = CacheKind::Unified;
    std::uint64_t bytes = 0;
    int sharedBy = 1;  // logical processors on this cache (itself included)
};

// The caches of processor, lowest level first; empty when the system does not say. On Linux they
// are read below sysfsRoot (the folder that holds "sys/": "/" on a real machine, a fake tree in
// tests); Windows ignores it and asks the system.
std::vector<CacheLevel> ProcessorCaches(int processor, const std::string& sysfsRoot = "/");

// "0-3,8,10-11" (a sysfs processor list): how many processors it names; 0 for a malformed one.
int CountProcessorList(const std::string& list);
