#include "memtest/cache_share.h"

#include <algorithm>

namespace {
constexpr std::uint64_t kPage = 4096;
constexpr std::uint64_t kDefaultLevel1 = 32 * 1024;
constexpr std::uint64_t kDefaultLevel2 = 256 * 1024;

std::uint64_t Share(const CacheLevel& cache) { return cache.bytes / static_cast<std::uint64_t>(std::max(1, cache.sharedBy)); }

std::uint64_t WholePages(std::uint64_t bytes) { return std::max(kPage, bytes / kPage * kPage); }
}  // namespace

CacheShare ShareOfCaches(const std::vector<CacheLevel>& caches) {
    CacheShare share;
    int lastLevel = 0;
    for (const CacheLevel& cache : caches) {
        if (cache.kind == CacheKind::Instruction) continue;
        if (cache.level == 1) share.level1 = Share(cache);
        if (cache.level == 2) share.level2 = Share(cache);
        if (cache.level >= 3 && cache.level >= lastLevel) {
            lastLevel = cache.level;
            share.lastLevel = Share(cache);
        }
    }
    return share;
}

CacheRegions RegionsForShare(const CacheShare& share) {
    CacheRegions regions;
    regions.bytes[0] = WholePages((share.level1 > 0 ? share.level1 : kDefaultLevel1) / 2);
    regions.bytes[1] = WholePages((share.level2 > 0 ? share.level2 : kDefaultLevel2) * 3 / 4);
    regions.bytes[2] = share.lastLevel > 0 ? WholePages(std::min(share.lastLevel * 3 / 4, kLargestLastLevelRegion)) : 0;
    return regions;
}

std::string DescribeRegions(const CacheRegions& regions) {
    std::string text;
    for (std::uint64_t bytes : regions.bytes) {
        if (bytes == 0) continue;
        text += (text.empty() ? "" : " + ") + std::to_string(bytes / 1024) + " KiB";
    }
    return text;
}
