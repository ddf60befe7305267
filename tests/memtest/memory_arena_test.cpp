// The memory load's buffer: filled, then swept with every block verified at least once a sweep; a
// bit flipped in a block (at any bit) is found within one sweep with its address and bit, and blamed
// on the processor that wrote the block and the one that read it; the guard shrinks or stops the
// buffer as the available memory falls.

#include <gtest/gtest.h>

#include "memtest/memory_arena.h"
#include "memtest/memory_kernel.h"

namespace {

constexpr std::size_t kArenaBytes = 16u << 20;  // 64 blocks

std::shared_ptr<MemoryArena> NewArena(std::size_t bytes = kArenaBytes) {
    std::string error;
    std::shared_ptr<MemoryArena> arena = MemoryArena::Create(bytes, &error);
    EXPECT_NE(arena, nullptr) << error;
    return arena;
}

// Two simulated workers, on processors 2 and 5, taking turns in small stretches until one finds a
// mismatch or tickets run out.
struct Turns {
    ArenaWork found;
    int reader = -1;
    std::uint64_t verified = 0;
    std::uint64_t crossReads = 0;
};
Turns TakeTurns(MemoryArena& arena, std::uint64_t tickets) {
    Turns turns;
    std::uint64_t random[2] = {1, 2};
    const int processors[2] = {2, 5};
    for (std::uint64_t start = arena.SweepTickets(); arena.SweepTickets() - start < tickets;) {
        for (int worker = 0; worker < 2; ++worker) {
            const ArenaWork work = arena.Work(3, processors[worker], &random[worker]);
            turns.verified += work.blocksVerified;
            turns.crossReads += work.crossReads;
            if (work.mismatch) {
                turns.found = work;
                turns.reader = processors[worker];
                return turns;
            }
        }
    }
    return turns;
}

void Fill(MemoryArena& arena) {
    std::uint64_t random = 3;
    while (!arena.Filled()) arena.Work(16, 2, &random);
}

}  // namespace

TEST(MemoryArena, EverySweepVerifiesEveryBlockAndMostReadsCrossProcessors) {
    std::shared_ptr<MemoryArena> arena = NewArena();
    ASSERT_NE(arena, nullptr);
    EXPECT_EQ(arena->SlotCount(), 64u);
    Fill(*arena);
    EXPECT_EQ(arena->Blocks(), 60u) << "one slot in sixteen stays free";
    const Turns turns = TakeTurns(*arena, 4 * arena->SlotCount());
    EXPECT_FALSE(turns.found.mismatch);
    EXPECT_GE(turns.verified, 4 * arena->Blocks()) << "every block at least once a sweep";
    EXPECT_GT(turns.crossReads, turns.verified / 4) << "blocks written on one processor are read on the other";
    // Each sweep's order visits every slot once.
    for (std::uint64_t sweep : {0ull, 1ull, 77ull}) {
        std::vector<bool> seen(arena->SlotCount(), false);
        for (std::size_t position = 0; position < arena->SlotCount(); ++position) seen[arena->SlotAt(sweep, position)] = true;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), static_cast<long>(arena->SlotCount())) << sweep;
    }
}

// A flip at each bit position (a table over bits, each in its own buffer): found within one sweep,
// with the word's address, the bit, the expected and obtained words, the writer and the reader.
TEST(MemoryArena, AFlippedBitIsFoundWithinOneSweepWithItsAddressBitWriterAndReader) {
    for (int bit = 0; bit < 64; ++bit) {
        std::shared_ptr<MemoryArena> arena = NewArena();
        ASSERT_NE(arena, nullptr);
        Fill(*arena);
        TakeTurns(*arena, arena->SlotCount() + 5);  // blocks now written by both processors
        std::uint64_t random = 40 + static_cast<std::uint64_t>(bit);
        ASSERT_TRUE(arena->FlipBit(bit, &random)) << bit;
        const InjectedFlip flip = arena->LastFlip();
        ASSERT_TRUE(flip.done);
        const Turns turns = TakeTurns(*arena, arena->SlotCount() + 8);
        ASSERT_TRUE(turns.found.mismatch) << "bit " << bit << " not found";
        const ArenaWork& found = turns.found;
        EXPECT_LE(found.ticket - flip.ticket, arena->SlotCount()) << "bit " << bit << ": within one sweep";
        EXPECT_EQ(found.where.address, flip.address) << bit;
        EXPECT_EQ(found.expected ^ found.obtained, std::uint64_t{1} << bit);
        EXPECT_EQ(found.where.wrongWords, 1u);
        EXPECT_EQ(found.where.writer, flip.writer) << bit;
        EXPECT_TRUE(found.where.writer == 2 || found.where.writer == 5) << found.where.writer;
        EXPECT_EQ(found.where.reader, turns.reader);
        // Written afresh: the next sweeps find nothing more.
        EXPECT_FALSE(TakeTurns(*arena, 2 * arena->SlotCount()).found.mismatch) << bit;
    }
}

// A data line stuck in one block (bit b of every word at 0 or 1) is found at its first word that the
// fault changed.
TEST(MemoryArena, AStuckBitInABlockIsFound) {
    for (int bit : {0, 9, 31, 32, 63}) {
        for (int value = 0; value < 2; ++value) {
            std::shared_ptr<MemoryArena> arena = NewArena();
            ASSERT_NE(arena, nullptr);
            Fill(*arena);
            // Slot 3 holds a checkerboard block (pattern = slot % 5): both values at every bit.
            ASSERT_EQ(arena->Record(3).pattern, PatternKind::Checkerboard);
            std::uint64_t* words = arena->SlotWords(3);
            const std::uint64_t mask = std::uint64_t{1} << bit;
            std::size_t first = kBlockWords;
            for (std::size_t i = 0; i < kBlockWords; ++i) {
                const std::uint64_t stuck = value ? words[i] | mask : words[i] & ~mask;
                if (stuck != words[i] && first == kBlockWords) first = i;
                words[i] = stuck;
            }
            const Turns turns = TakeTurns(*arena, arena->SlotCount());
            ASSERT_TRUE(turns.found.mismatch) << bit << " at " << value;
            EXPECT_EQ(turns.found.where.address, reinterpret_cast<std::uintptr_t>(words + first));
            EXPECT_EQ(turns.found.expected ^ turns.found.obtained, mask);
            EXPECT_GT(turns.found.where.wrongWords, 1u);
        }
    }
}

TEST(MemoryArena, TheGuardKeepsShrinksOrStopsTheBuffer) {
    constexpr std::uint64_t kMiB = 1ull << 20;
    std::shared_ptr<MemoryArena> arena = NewArena(64 * kMiB);  // 256 blocks
    ASSERT_NE(arena, nullptr);
    Fill(*arena);
    const std::uint64_t margin = 32 * kMiB;
    // Plenty left: kept.
    EXPECT_EQ(arena->Guard(400 * kMiB, margin, 8 * kMiB).action, GuardOutcome::Action::Kept);
    EXPECT_EQ(arena->Guard(16 * kMiB, margin, 8 * kMiB).action, GuardOutcome::Action::Kept) << "half the margin is still left";
    // 12 MiB left, under half the margin: the 4 MiB missing and a sixteenth (4 MiB) given back.
    const GuardOutcome shrunk = arena->Guard(12 * kMiB, margin, 8 * kMiB);
    EXPECT_EQ(shrunk.action, GuardOutcome::Action::Shrunk);
    EXPECT_EQ(shrunk.fromBytes, 64 * kMiB);
    EXPECT_EQ(shrunk.toBytes, 56 * kMiB);
    EXPECT_EQ(arena->ActiveBytes(), 56 * kMiB);
    EXPECT_LE(arena->Blocks(), 224u - 224u / 16) << "the blocks beyond dropped, one slot in sixteen free";
    // The rest goes on, without a false error, within the smaller part.
    EXPECT_FALSE(TakeTurns(*arena, 3 * arena->SlotCount()).found.mismatch);
    // Too little even for the least buffer: stopped.
    const GuardOutcome stopped = arena->Guard(0, margin, 48 * kMiB);
    EXPECT_EQ(stopped.action, GuardOutcome::Action::Stopped);
    EXPECT_TRUE(arena->Stopped());
    EXPECT_EQ(arena->Blocks(), 0u);
    std::uint64_t random = 1;
    EXPECT_EQ(arena->Work(10, 2, &random).blocksVerified, 0u);
}

// The guard counts what the fill has still to touch as used already.
TEST(MemoryArena, TheGuardCountsTheUnfilledPartAsUsed) {
    constexpr std::uint64_t kMiB = 1ull << 20;
    std::shared_ptr<MemoryArena> arena = NewArena(64 * kMiB);
    ASSERT_NE(arena, nullptr);
    // Nothing filled yet: 64 MiB still to come out of the 80 available leaves 16, under half of 40.
    const GuardOutcome outcome = arena->Guard(80 * kMiB, 40 * kMiB, 8 * kMiB);
    EXPECT_EQ(outcome.action, GuardOutcome::Action::Shrunk);
    EXPECT_EQ(outcome.toBytes, 56 * kMiB);
    Fill(*arena);
    EXPECT_FALSE(TakeTurns(*arena, 2 * arena->SlotCount()).found.mismatch);
}

TEST(MemoryKernel, PassesCountTheirWorkAndAnInjectedFlipIsReported) {
    std::shared_ptr<MemoryArena> arena = NewArena();
    ASSERT_NE(arena, nullptr);
    auto totals = std::make_shared<MemtestTotals>();
    MemoryLoadKernel kernel(arena, totals, 11);
    EXPECT_FALSE(kernel.InjectWrongBit(WrongBitPlace::KernelState, 3)) << "no kernel state to flip";
    PassCheck check = kernel.RunPass();  // the fill, and copies after it
    EXPECT_TRUE(check.correct);
    const std::uint64_t first = check.blocksVerified;
    EXPECT_TRUE(arena->Filled());
    check = kernel.RunPass();
    EXPECT_TRUE(check.checked);
    EXPECT_GT(check.blocksVerified, kMemoryPassBlocks / 2) << "most tickets land on a block";
    EXPECT_LE(check.blocksVerified, kMemoryPassBlocks);
    EXPECT_EQ(check.bytesVerified, check.blocksVerified * kBlockBytes) << "each copied";
    EXPECT_EQ(totals->blocksVerified.load(), first + check.blocksVerified);
    ASSERT_TRUE(kernel.InjectWrongBit(WrongBitPlace::MemoryBlock, 45));
    check = kernel.RunPass();
    ASSERT_TRUE(check.wordMismatch);
    EXPECT_FALSE(check.correct);
    EXPECT_EQ(check.expected ^ check.obtained, std::uint64_t{1} << 45);
    EXPECT_EQ(check.mismatch.address, arena->LastFlip().address);
}
