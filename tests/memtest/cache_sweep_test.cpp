// The cache load's sweep on every path: a flipped bit at every bit position, in words of every
// lane, is found with its word, its expected and its obtained value; the sweep then stores the data
// right again.

#include <gtest/gtest.h>

#include <memory>
#include <new>

#include "memtest/cache_kernel.h"
#include "memtest/cache_sweep.h"

namespace {
struct Aligned {
    explicit Aligned(std::size_t count)
        : words(static_cast<std::uint64_t*>(::operator new[](count * 8, std::align_val_t{64}))), count(count) {}
    ~Aligned() { ::operator delete[](words, std::align_val_t{64}); }
    std::uint64_t* words;
    std::size_t count;
};
}  // namespace

TEST(CacheSweep, EveryPathFindsEveryFlippedBitInEveryLane) {
    Aligned data(4096);
    const std::uint64_t seed = 0xC0FFEEu;
    const std::size_t places[] = {0, 1, 2, 3, 4, 5, 6, 7, 2049, 4095};
    for (CopyPath path : {CopyPath::Portable, CopyPath::Sse, CopyPath::Avx2, CopyPath::Avx512}) {
        if (!SweepPathRuns(path)) continue;
        FillWords(data.words, data.count, seed, CacheRoundKey(0));
        std::uint64_t round = 0;
        for (std::size_t place : places) {
            for (int bit = 0; bit < 64; ++bit) {
                data.words[place] ^= std::uint64_t{1} << bit;
                const SweepResult found =
                    SweepWords(path, data.words, data.count, seed, CacheRoundKey(round), CacheRoundKey(round + 1));
                ++round;
                ASSERT_EQ(found.wrongWords, 1u) << CopyPathName(path) << " word " << place << " bit " << bit;
                EXPECT_EQ(found.firstWrong, place);
                EXPECT_EQ(found.expected ^ found.obtained, std::uint64_t{1} << bit);
                EXPECT_EQ(found.expected, CacheWord(seed, place, CacheRoundKey(round - 1)));
            }
        }
        const SweepResult clean = SweepWords(path, data.words, data.count, seed, CacheRoundKey(round), CacheRoundKey(round + 1));
        EXPECT_EQ(clean.wrongWords, 0u) << CopyPathName(path) << ": the sweep stores every word right again";
    }
}

TEST(CacheSweep, EveryBitOfEveryWordIsWrittenBothWaysOverFourRounds) {
    for (std::size_t index : {std::size_t{0}, std::size_t{1}, std::size_t{12345}}) {
        std::uint64_t ones = 0, zeros = 0;
        for (std::uint64_t round = 0; round < 4; ++round) {
            const std::uint64_t word = CacheWord(0xABCDEF, index, CacheRoundKey(round));
            ones |= word;
            zeros |= ~word;
        }
        EXPECT_EQ(ones, ~0ull) << index;
        EXPECT_EQ(zeros, ~0ull) << index;
    }
}

// A flip injected into the kernel is found in the same pass, with the word's address.
TEST(CacheKernel, AnInjectedFlipIsFoundInThePassWithItsAddress) {
    auto table = std::make_shared<CacheRegionTable>();
    CacheRegions small;
    small.bytes[0] = 8192;
    small.bytes[1] = 65536;
    small.bytes[2] = 262144;
    table->fallback = small;
    auto totals = std::make_shared<MemtestTotals>();
    CacheLoadKernel kernel(table, totals, 5);
    EXPECT_TRUE(kernel.RunPass().correct);
    EXPECT_EQ(kernel.Regions(), small);
    for (int bit : {0, 17, 63}) {
        ASSERT_TRUE(kernel.InjectWrongBit(WrongBitPlace::WorkArea, bit));
        const PassCheck check = kernel.RunPass();
        ASSERT_TRUE(check.wordMismatch) << bit;
        EXPECT_FALSE(check.correct);
        EXPECT_EQ(check.expected ^ check.obtained, std::uint64_t{1} << bit);
        EXPECT_EQ(check.mismatch.wrongWords, 1u);
        EXPECT_NE(check.mismatch.address, 0u);
        EXPECT_EQ(check.mismatch.address % 8, 0u);
        EXPECT_TRUE(kernel.RunPass().correct) << "right again after the error";
    }
    EXPECT_GT(totals->bytesVerified.load(), 0u);
}
