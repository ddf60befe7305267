#pragma once
// The cache load as a worker runs it: three data sets sized to its share of its level-1, level-2 and
// last-level caches (see cache_share.h), each swept with every word verified until about 32 MiB
// went through it in a pass. The data sets are made at the first pass, for the processor the
// worker then sits on.

#include <memory>
#include <vector>

#include "load/load_kernel.h"
#include "memtest/cache_share.h"
#include "memtest/cache_sweep.h"
#include "memtest/memory_kernel.h"

// The data sets of each processor (by number; those the system says nothing of get the default).
struct CacheRegionTable {
    std::vector<CacheRegions> byProcessor;
    CacheRegions fallback = RegionsForShare(CacheShare{});
    const CacheRegions& For(int processor) const {
        return processor >= 0 && static_cast<std::size_t>(processor) < byProcessor.size() ? byProcessor[static_cast<std::size_t>(processor)]
                                                                                         : fallback;
    }
};

inline constexpr std::uint64_t kCachePassBytesPerRegion = 32ull << 20;

class CacheLoadKernel : public LoadKernel {
public:
    CacheLoadKernel(std::shared_ptr<const CacheRegionTable> table, std::shared_ptr<MemtestTotals> totals, std::uint64_t seed,
                    CopyPath path = WidestSweepPath());
    ~CacheLoadKernel() override;
    LoadKernelKind Kind() const override { return LoadKernelKind::Cache; }
    bool SelfChecked() const override { return true; }
    PassCheck RunPass() override { return Run(kCachePassBytesPerRegion); }
    // Each data set swept once: a variable load's on-times may be a few milliseconds.
    PassCheck RunSlice() override { return Run(kCachePassBytesPerRegion / 50); }
    bool StateDigest(std::uint64_t*, std::uint64_t*) override { return false; }
    // A flip in a word of the largest data set, found by its next sweep in the same pass.
    bool InjectWrongBit(WrongBitPlace place, int bit) override;
    // The data sets in use (empty before the first pass).
    const CacheRegions& Regions() const { return m_regions; }

private:
    // Sweeps each data set until about bytesPerRegion are verified in it (at least once).
    PassCheck Run(std::uint64_t bytesPerRegion);

    void Prepare(int processor);

    std::shared_ptr<const CacheRegionTable> m_table;
    std::shared_ptr<MemtestTotals> m_totals;
    CopyPath m_path;
    CacheRegions m_regions;
    std::uint64_t* m_words = nullptr;  // every data set, one after the other, 64-byte aligned
    std::uint64_t* m_region[kCacheRegionCount] = {};
    std::uint64_t m_seed[kCacheRegionCount] = {};
    std::uint64_t m_round[kCacheRegionCount] = {};
    std::uint64_t m_random;
    int m_pendingFlip = -1;
};
