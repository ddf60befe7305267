// The checksum and the patterns together catch what a bad memory cell or data line does to a block:
// every single-bit error at every bit of words in every lane, and every stuck bit (a data line
// stuck at 0 or 1 across the whole block) that the pattern gives the other value somewhere.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "memtest/block_copy.h"
#include "memtest/crc32c.h"
#include "memtest/memory_arena.h"
#include "memtest/patterns.h"

namespace {

// CRC32C bit by bit, straight from the polynomial: the reference for both implementations.
std::uint32_t BitwiseCrc(std::uint32_t crc, std::uint64_t word) {
    for (int byte = 0; byte < 8; ++byte) {
        crc ^= static_cast<std::uint32_t>(word >> (8 * byte)) & 0xFF;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (crc & 1 ? 0x82F63B78u : 0);
    }
    return crc;
}

struct PatternCase {
    PatternKind kind;
    std::uint64_t seed;
};

std::vector<PatternCase> EveryPattern(const std::vector<std::uint64_t>& block) {
    std::vector<PatternCase> cases;
    for (int kind = 0; kind < kPatternKindCount; ++kind) {
        const auto pattern = static_cast<PatternKind>(kind);
        cases.push_back({pattern, pattern == PatternKind::OwnAddress ? reinterpret_cast<std::uintptr_t>(block.data()) : 0x1234567u * (kind + 1)});
    }
    return cases;
}

}  // namespace

TEST(Checksum, InstructionAndPortableAgreeWithTheBitwiseReference) {
    std::mt19937_64 random(7);
    std::vector<std::uint64_t> words(kBlockWords);
    for (std::uint64_t& word : words) word = random();
    std::uint32_t lanes[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    for (std::size_t i = 0; i < words.size(); ++i) lanes[i % 4] = BitwiseCrc(lanes[i % 4], words[i]);
    BlockChecksum reference;
    for (int lane = 0; lane < 4; ++lane) reference.lane[lane] = ~lanes[lane];
    EXPECT_EQ(ChecksumWordsPortable(words.data(), words.size()), reference);
    EXPECT_EQ(ChecksumWords(words.data(), words.size()), reference);
    // The standard check value of CRC32C over "12345678" in one word, for the one-step function.
    std::uint64_t text = 0;
    std::memcpy(&text, "12345678", 8);
    EXPECT_EQ(Crc32cWordPortable(0xFFFFFFFFu, text), BitwiseCrc(0xFFFFFFFFu, text));
}

TEST(Checksum, EveryPatternRegeneratesAndCatchesEverySingleBitError) {
    std::vector<std::uint64_t> block(kBlockWords);
    // Words in each lane, at both ends and in the middle.
    const std::size_t places[] = {0, 1, 2, 3, 4, 4097, kBlockWords / 2 + 2, kBlockWords - 1};
    for (const PatternCase& pattern : EveryPattern(block)) {
        FillPattern(pattern.kind, pattern.seed, block.data(), block.size());
        for (std::size_t i = 0; i < block.size(); ++i)
            ASSERT_EQ(block[i], PatternWord(pattern.kind, pattern.seed, i)) << PatternName(pattern.kind) << " word " << i;
        const BlockChecksum good = ChecksumWords(block.data(), block.size());
        for (std::size_t place : places) {
            for (int bit = 0; bit < 64; ++bit) {
                block[place] ^= std::uint64_t{1} << bit;
                EXPECT_NE(ChecksumWords(block.data(), block.size()), good)
                    << PatternName(pattern.kind) << ": bit " << bit << " of word " << place << " not caught";
                block[place] ^= std::uint64_t{1} << bit;
            }
        }
        // The portable checksum catches them too (a few, it is slow).
        block[places[5]] ^= std::uint64_t{1} << 40;
        EXPECT_NE(ChecksumWordsPortable(block.data(), block.size()), good);
        block[places[5]] ^= std::uint64_t{1} << 40;
        EXPECT_EQ(ChecksumWordsPortable(block.data(), block.size()), good);
    }
}

// A data line stuck at 0 or at 1: bit b of every word forced. Each pattern must catch every such
// fault it can see (where some word of it has the other value there); the random, walking and
// checkerboard patterns each see all 128, and together the patterns see every one.
TEST(Checksum, EveryStuckBitThatAPatternShowsIsCaught) {
    std::vector<std::uint64_t> block(kBlockWords);
    std::vector<std::uint64_t> stuck(kBlockWords);
    bool seenByAny[64][2] = {};
    for (const PatternCase& pattern : EveryPattern(block)) {
        FillPattern(pattern.kind, pattern.seed, block.data(), block.size());
        const BlockChecksum good = ChecksumWords(block.data(), block.size());
        int seen = 0;
        for (int bit = 0; bit < 64; ++bit) {
            for (int value = 0; value < 2; ++value) {
                const std::uint64_t mask = std::uint64_t{1} << bit;
                for (std::size_t i = 0; i < block.size(); ++i) stuck[i] = value ? block[i] | mask : block[i] & ~mask;
                if (stuck == block) continue;  // this pattern never gives that bit the other value
                ++seen;
                seenByAny[bit][value] = true;
                EXPECT_NE(ChecksumWords(stuck.data(), stuck.size()), good)
                    << PatternName(pattern.kind) << ": bit " << bit << " stuck at " << value << " not caught";
            }
        }
        if (pattern.kind != PatternKind::OwnAddress) {
            EXPECT_EQ(seen, 128) << PatternName(pattern.kind);
        }
    }
    for (int bit = 0; bit < 64; ++bit)
        for (int value = 0; value < 2; ++value) EXPECT_TRUE(seenByAny[bit][value]) << "bit " << bit << " stuck at " << value;
}

TEST(BlockCopy, EveryPathCopiesExactlyAndChecksumsWhatItRead) {
    std::vector<std::uint64_t> source(kBlockWords + 8), target(kBlockWords + 8);
    auto* from = reinterpret_cast<std::uint64_t*>((reinterpret_cast<std::uintptr_t>(source.data()) + 63) & ~std::uintptr_t{63});
    auto* to = reinterpret_cast<std::uint64_t*>((reinterpret_cast<std::uintptr_t>(target.data()) + 63) & ~std::uintptr_t{63});
    FillPattern(PatternKind::Random, 99, from, kBlockWords);
    const BlockChecksum expected = ChecksumWordsPortable(from, kBlockWords);
    for (CopyPath path : {CopyPath::Portable, CopyPath::Sse, CopyPath::Avx2, CopyPath::Avx512}) {
        if (!CopyPathRuns(path)) {
            std::printf("note: the %s path does not run here\n", CopyPathName(path));
            continue;
        }
        std::fill(to, to + kBlockWords, 0);
        EXPECT_EQ(CopyWithChecksum(path, from, to, kBlockWords), expected) << CopyPathName(path);
        EXPECT_EQ(std::memcmp(from, to, kBlockBytes), 0) << CopyPathName(path);
        // A wrong bit in what is read shows in the checksum the copy returns.
        from[777] ^= std::uint64_t{1} << 13;
        EXPECT_NE(CopyWithChecksum(path, from, to, kBlockWords), expected) << CopyPathName(path);
        from[777] ^= std::uint64_t{1} << 13;
    }
}
