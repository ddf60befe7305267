#pragma once
// The cache and memory loads of one run: the memory load's buffer (shared by every worker, kept
// alive by each kernel that uses it, so that a worker given up while stuck never reads freed
// memory), the cache load's data-set sizes, and the kernels the workers ask for.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "load/load_kernel.h"
#include "memtest/cache_kernel.h"
#include "memtest/memory_arena.h"
#include "memtest/memory_kernel.h"

class MemtestLoads {
public:
    MemtestLoads();

    // The memory load's buffer of bytes (the one in place when it has that size already). False
    // with the system's reason when it cannot be had.
    bool PrepareMemory(std::uint64_t bytes, std::string* problem);
    // Drops the run's hold on the buffer (kernels still running keep it until they end).
    void ReleaseMemory();
    // Each processor's data sets, from the caches the system lists below sysfsRoot.
    void PrepareCache(const std::string& sysfsRoot, const std::vector<int>& processors);

    // A kernel for a worker (any thread): null for a kind that is not a cache or memory load, or
    // a memory load without a buffer.
    std::unique_ptr<LoadKernel> MakeKernel(LoadKernelKind kind);

    std::shared_ptr<MemoryArena> Arena() const;
    std::shared_ptr<const CacheRegionTable> CacheTable() const;
    const MemtestTotals& Totals() const { return *m_totals; }

private:
    mutable std::mutex m_lock;
    std::shared_ptr<MemoryArena> m_arena;
    std::shared_ptr<const CacheRegionTable> m_cache;
    std::shared_ptr<MemtestTotals> m_totals;
    std::uint64_t m_seeds = 0;
};
