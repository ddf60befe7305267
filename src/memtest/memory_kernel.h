#pragma once
// The memory load as a worker runs it: each pass a fixed stretch of the shared buffer's work (64 MiB:
// 10 to 100 ms), its blocks' checksums verified as they are read.

#include <memory>

#include "load/load_kernel.h"
#include "memtest/memory_arena.h"

// Blocks a pass fills or copies.
inline constexpr std::size_t kMemoryPassBlocks = 256;

// What every memory and cache kernel adds up, read by the run (relaxed atomics, once per pass).
struct MemtestTotals {
    std::atomic<std::uint64_t> bytesVerified{0};
    std::atomic<std::uint64_t> blocksVerified{0};
    std::atomic<std::uint64_t> crossReads{0};
};

class MemoryLoadKernel : public LoadKernel {
public:
    MemoryLoadKernel(std::shared_ptr<MemoryArena> arena, std::shared_ptr<MemtestTotals> totals, std::uint64_t seed);
    LoadKernelKind Kind() const override { return LoadKernelKind::Memory; }
    bool SelfChecked() const override { return true; }
    PassCheck RunPass() override { return Run(kMemoryPassBlocks); }
    // A fiftieth of a pass's blocks (at least one): a variable load's on-times may be short.
    PassCheck RunSlice() override { return Run(kMemoryPassBlocks / 50 > 0 ? kMemoryPassBlocks / 50 : 1); }
    bool StateDigest(std::uint64_t*, std::uint64_t*) override { return false; }
    // A flip in a block of the buffer (any place but the kernel's state: it has none to speak of).
    bool InjectWrongBit(WrongBitPlace place, int bit) override;

private:
    PassCheck Run(std::size_t blocks);

    std::shared_ptr<MemoryArena> m_arena;
    std::shared_ptr<MemtestTotals> m_totals;
    std::uint64_t m_random;
    int m_pendingFlip = -1;  // a flip that found no block yet (the buffer still filling)
};
