// Caches from GetLogicalProcessorInformationEx(RelationCache); the sysfs root has no meaning here.

#include "platform/win32/windows_api.h"

#include <algorithm>
#include <bit>
#include <memory>

#include "platform/cache_topology.h"

namespace {

// Ferrox numbers processors across Windows' groups of up to 64 (see processors.cpp).
bool GroupPlaceOf(int processor, WORD* group, int* number) {
    int start = 0;
    const WORD groups = GetActiveProcessorGroupCount();
    for (WORD g = 0; g < groups; ++g) {
        const int count = static_cast<int>(GetActiveProcessorCount(g));
        if (processor < start + count) {
            *group = g;
            *number = processor - start;
            return *number < 64;
        }
        start += count;
    }
    return false;
}

}  // namespace

std::vector<CacheLevel> ProcessorCaches(int processor, const std::string&) {
    std::vector<CacheLevel> caches;
    WORD group = 0;
    int number = 0;
    if (processor < 0 || !GroupPlaceOf(processor, &group, &number)) return caches;
    Win32DWORD bytes = 0;
    GetLogicalProcessorInformationEx(RelationCache, nullptr, &bytes);
    if (bytes == 0) return caches;
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[bytes]);
    auto* first = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.get());
    if (!GetLogicalProcessorInformationEx(RelationCache, first, &bytes)) return caches;
    for (Win32DWORD offset = 0; offset < bytes;) {
        const auto* relation = reinterpret_cast<const SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.get() + offset);
        if (relation->Size == 0) break;
        offset += relation->Size;
        if (relation->Relationship != RelationCache) continue;
        const CACHE_RELATIONSHIP& cache = relation->Cache;
        if (cache.GroupMask.Group != group || (cache.GroupMask.Mask >> number & 1) == 0) continue;
        CacheLevel level;
        level.level = cache.Level;
        level.kind = cache.Type == CacheData ? CacheKind::Data : cache.Type == CacheInstruction ? CacheKind::Instruction
                                                                                                : CacheKind::Unified;
        level.bytes = cache.CacheSize;
        level.sharedBy = std::max(1, std::popcount(static_cast<std::uint64_t>(cache.GroupMask.Mask)));
        caches.push_back(level);
    }
    std::sort(caches.begin(), caches.end(), [](const CacheLevel& a, const CacheLevel& b) { return a.level < b.level; });
    return caches;
}
