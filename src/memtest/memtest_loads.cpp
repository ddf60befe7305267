#include "memtest/memtest_loads.h"

#include "platform/cache_topology.h"

MemtestLoads::MemtestLoads() : m_totals(std::make_shared<MemtestTotals>()) {}

bool MemtestLoads::PrepareMemory(std::uint64_t bytes, std::string* problem) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_arena != nullptr && m_arena->Bytes() == bytes / kBlockBytes * kBlockBytes && !m_arena->Stopped()) return true;
        m_arena.reset();  // the old buffer goes with its last worker
    }
    std::shared_ptr<MemoryArena> arena = MemoryArena::Create(static_cast<std::size_t>(bytes), problem);
    if (arena == nullptr) return false;
    std::lock_guard<std::mutex> hold(m_lock);
    m_arena = std::move(arena);
    return true;
}

void MemtestLoads::ReleaseMemory() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_arena.reset();
}

void MemtestLoads::PrepareCache(const std::string& sysfsRoot, const std::vector<int>& processors) {
    auto table = std::make_shared<CacheRegionTable>();
    for (int processor : processors) {
        if (processor < 0) continue;
        if (static_cast<std::size_t>(processor) >= table->byProcessor.size())
            table->byProcessor.resize(static_cast<std::size_t>(processor) + 1, table->fallback);
        const std::vector<CacheLevel> caches = ProcessorCaches(processor, sysfsRoot);
        if (!caches.empty()) table->byProcessor[static_cast<std::size_t>(processor)] = RegionsForShare(ShareOfCaches(caches));
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_cache = std::move(table);
}

std::unique_ptr<LoadKernel> MemtestLoads::MakeKernel(LoadKernelKind kind) {
    std::lock_guard<std::mutex> hold(m_lock);
    const std::uint64_t seed = MixBits(++m_seeds);
    if (kind == LoadKernelKind::Memory && m_arena != nullptr) return std::make_unique<MemoryLoadKernel>(m_arena, m_totals, seed);
    if (kind == LoadKernelKind::Cache) {
        if (m_cache == nullptr) m_cache = std::make_shared<CacheRegionTable>();
        return std::make_unique<CacheLoadKernel>(m_cache, m_totals, seed);
    }
    return nullptr;
}

std::shared_ptr<MemoryArena> MemtestLoads::Arena() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_arena;
}

std::shared_ptr<const CacheRegionTable> MemtestLoads::CacheTable() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_cache;
}
