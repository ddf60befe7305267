#pragma once
// The data shared by the wide-vector kernels (AVX2 + FMA in fma_kernel.*, AVX-512 in
// avx512_kernel.*): one layout, one filling and one digest, in two widths.
//
// Each kernel keeps Chains accumulators, each a register of Lanes doubles, in four groups. An
// iteration reads 1,024 bytes of the work area, slot by slot (a slot is an addend register and an
// undo register), the slots going to the groups in turn; a group takes one step per slot:
// a = fma(a, multiplier, addend), then a = fma(a, inverse, undo), where undo is
// -(addend * inverse) rounded. So a step leaves an accumulator within a few units in its last place
// of where it was (no growth, no decay to 0 or a fixed point, never a denormal), while the
// intermediate, the addends and the operands of successive instructions differ in about half their
// bits. The two halves of the work area hold the same slots; each iteration also copies one
// register's worth from the half being read to the other, which the kernel reads half a sweep
// later, so a store that went wrong reaches the accumulators. (One copy in 96 FMAs: on Zen 3 each
// vector store costs an FMA issue slot, and more of them would idle the FMA units.) The register
// copied moves on every sweep, so every part of the work area is copied in turn (every 16 or 32
// sweeps), and a wrong word is repaired from its twin a few blocks later: the end sums keep it.
//
// A pass is a number of identical blocks: each block starts the accumulators from `start` at the
// first slot and runs whole sweeps of the work area, then stores the accumulators in `end` and adds
// their bit patterns to `endSums`. So a pass's end state depends only on one block, which a plain
// C++ reference can compute quickly, while an error in any block changes the sums. After a pass
// whose digest is wrong, fill the data afresh before the next. The copies
// change nothing while the hardware works (the halves are equal), so the results do not depend on
// which register is copied when.

#include <cstdint>
#include <cstring>

template <int LanesT, int ChainsT, int TableSlotsT, int BlockIterationsT>
struct alignas(64) VectorKernelData {
    static constexpr int kLanes = LanesT;
    static constexpr int kChains = ChainsT;
    static constexpr int kGroups = 4;
    static constexpr int kChainsPerGroup = ChainsT / kGroups;
    static constexpr int kTableSlots = TableSlotsT;
    static constexpr int kBlockIterations = BlockIterationsT;
    static constexpr int kSlotBytes = 2 * LanesT * 8;
    static constexpr int kIterationBytes = 1024;
    static constexpr int kSlotsPerIteration = kIterationBytes / kSlotBytes;
    static constexpr int kHalfSweepIterations = TableSlotsT / 2 / kSlotsPerIteration;
    static constexpr int kBlockSweeps = BlockIterationsT / (2 * kHalfSweepIterations);
    static constexpr int kFmasPerIteration = 2 * kSlotsPerIteration * kChainsPerGroup;
    static_assert(ChainsT % kGroups == 0 && kSlotsPerIteration % kGroups == 0);
    static_assert(TableSlotsT % (2 * kSlotsPerIteration) == 0, "each half is whole iterations");
    static_assert(BlockIterationsT % (2 * kHalfSweepIterations) == 0, "a block is whole sweeps");

    // The accumulators at every block start, never written by the kernel.
    alignas(64) double start[ChainsT][LanesT];
    // The accumulators at the last block's end.
    alignas(64) double end[ChainsT][LanesT];
    // Over the pass's blocks, the sum of the end accumulators' bit patterns (modulo 2^64).
    alignas(64) std::uint64_t endSums[ChainsT][LanesT];
    alignas(64) double multiplier[LanesT];
    alignas(64) double inverse[LanesT];  // 1 / multiplier, rounded
    // The work area: slot i holds an addend and its undo; slots i and i + kTableSlots / 2 are equal.
    alignas(64) double table[TableSlotsT][2][LanesT];
};

namespace vector_kernel_detail {

// Multipliers of about 1.1 to 1.45 whose mantissas are repeating bit patterns (6/5 = 1.0011...,
// 10/7 = 1.011011..., 10/9 = 1.000111...), one per lane.
inline constexpr double kMultipliers[8] = {6.0 / 5, 10.0 / 7, 10.0 / 9, 9.0 / 7, 13.0 / 10, 11.0 / 9, 13.0 / 11, 29.0 / 20};

inline std::uint64_t SplitMix64(std::uint64_t* state) {
    std::uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A double of the given sign with random mantissa bits and exponent 0 (value 1 to 2), or, when
// halfRange, exponent -1 or 0 (0.5 to 2).
inline double PatternDouble(std::uint64_t random, bool negative, bool halfRange) {
    const std::uint64_t exponent = halfRange ? 0x3FEull + (random >> 63) : 0x3FFull;
    const std::uint64_t bits = (negative ? 1ull << 63 : 0) | exponent << 52 | (random & 0xFFFFFFFFFFFFFull);
    double value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

}  // namespace vector_kernel_detail

// Fills everything but end and endSums (the kernel writes those). Odd lanes are negative
// throughout, so an accumulator and the addends of its lane always share a sign and the first
// fma of a step never cancels.
template <class Data>
void InitVectorKernelData(Data* data, std::uint64_t seed) {
    using namespace vector_kernel_detail;
    std::memset(static_cast<void*>(data), 0, sizeof(Data));
    for (int lane = 0; lane < Data::kLanes; ++lane) {
        data->multiplier[lane] = kMultipliers[lane];
        data->inverse[lane] = 1.0 / kMultipliers[lane];
    }
    std::uint64_t state = seed;
    for (auto& chain : data->start)
        for (int lane = 0; lane < Data::kLanes; ++lane) chain[lane] = PatternDouble(SplitMix64(&state), lane % 2 != 0, false);
    constexpr int kHalf = Data::kTableSlots / 2;
    for (int slot = 0; slot < kHalf; ++slot) {
        for (int lane = 0; lane < Data::kLanes; ++lane) {
            const double addend = PatternDouble(SplitMix64(&state), lane % 2 != 0, true);
            const double undo = -(addend * data->inverse[lane]);
            data->table[slot][0][lane] = data->table[slot + kHalf][0][lane] = addend;
            data->table[slot][1][lane] = data->table[slot + kHalf][1][lane] = undo;
        }
    }
}

// A 64-bit digest of everything the kernel writes: end, endSums and the work area. Each word
// passes through a bijection of the running value, so any single changed word changes the digest.
template <class Data>
std::uint64_t VectorKernelDigest(const Data& data) {
    std::uint64_t digest = 0x243F6A8885A308D3ull;
    auto fold = [&digest](const void* bytes, std::size_t size) {
        for (std::size_t offset = 0; offset < size; offset += 8) {
            std::uint64_t word;
            std::memcpy(&word, static_cast<const char*>(bytes) + offset, sizeof(word));
            digest = (digest ^ word) * 0x9E3779B97F4A7C15ull;
            digest ^= digest >> 29;
        }
    };
    fold(data.end, sizeof(data.end));
    fold(data.endSums, sizeof(data.endSums));
    fold(data.table, sizeof(data.table));
    return digest;
}
