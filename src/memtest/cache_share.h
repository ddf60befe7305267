#pragma once
// How much data the cache load's worker works on: its share of each cache it sits on (a cache
// shared by several logical processors is split evenly between them), and from those the three
// data sets it sweeps: half of its level-1 data cache share (room for the stack and the rest),
// three quarters of its level-2 share, and three quarters of its last-level share, at most 16 MiB
// (beyond that a sweep is a memory load's work).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/cache_topology.h"

struct CacheShare {
    std::uint64_t level1 = 0;  // 0: the system does not say
    std::uint64_t level2 = 0;
    std::uint64_t lastLevel = 0;  // level 3 or beyond; 0: none
};

inline constexpr int kCacheRegionCount = 3;
inline constexpr std::uint64_t kLargestLastLevelRegion = 16ull << 20;

struct CacheRegions {
    std::uint64_t bytes[kCacheRegionCount] = {};  // multiples of 4 KiB; the last one may be 0 (no such cache)
    bool operator==(const CacheRegions&) const = default;
};

CacheShare ShareOfCaches(const std::vector<CacheLevel>& caches);
// Where the system said nothing: 32 KiB of level 1 and 256 KiB of level 2.
CacheRegions RegionsForShare(const CacheShare& share);
// "24 KiB + 1536 KiB + 12288 KiB".
std::string DescribeRegions(const CacheRegions& regions);
