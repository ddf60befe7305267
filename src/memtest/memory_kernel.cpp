#include "memtest/memory_kernel.h"

#include "platform/processors.h"

MemoryLoadKernel::MemoryLoadKernel(std::shared_ptr<MemoryArena> arena, std::shared_ptr<MemtestTotals> totals, std::uint64_t seed)
    : m_arena(std::move(arena)), m_totals(std::move(totals)), m_random(seed) {}

PassCheck MemoryLoadKernel::Run(std::size_t blocks) {
    if (m_pendingFlip >= 0 && m_arena->FlipBit(m_pendingFlip, &m_random)) m_pendingFlip = -1;
    const ArenaWork work = m_arena->Work(blocks, CurrentProcessor(), &m_random);
    PassCheck check;
    check.checked = work.blocksVerified > 0;
    check.correct = !work.mismatch;
    check.bytesVerified = work.bytesCopied;
    check.blocksVerified = work.blocksVerified;
    if (work.mismatch) {
        check.wordMismatch = true;
        check.mismatch = work.where;
        check.expected = work.expected;
        check.obtained = work.obtained;
    }
    m_totals->bytesVerified.fetch_add(work.bytesCopied, std::memory_order_relaxed);
    m_totals->blocksVerified.fetch_add(work.blocksVerified, std::memory_order_relaxed);
    m_totals->crossReads.fetch_add(work.crossReads, std::memory_order_relaxed);
    return check;
}

bool MemoryLoadKernel::InjectWrongBit(WrongBitPlace place, int bit) {
    if (place == WrongBitPlace::KernelState) return false;
    m_pendingFlip = bit;
    if (m_arena->FlipBit(bit, &m_random)) m_pendingFlip = -1;
    return true;
}
