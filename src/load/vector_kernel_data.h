#pragma once
// The data shared by the wide-vector kernels (AVX2 + FMA in fma_kernel.*, AVX-512 in
// avx512_kernel.*): one layout, one filling and one digest, in two widths.
//
// The arithmetic is built so that a single wrong bit anywhere cannot be rounded away. Each kernel
// keeps Chains accumulators, each a register of Lanes doubles, in four groups; every step of an
// accumulator is a = fma(a, m, c), with m the lane's multiplier (1.8 to 1.95) and c the next
// addend of its group from the work area. The addends are chosen when the data is filled so that
// every accumulator stays between 1.375 and 1.96 (in magnitude; odd lanes are negative) and every
// addend between 1 and 2 in magnitude, all in one binade whose spacing is u = 2^-52. Then a step
// is one-to-one for every value that can go wrong:
// - an accumulator (or the FMA result that became it) off by at least u moves the exact result by
//   at least m * u > u, so the rounded results differ too, and stay different at every later step;
// - an addend off by at least u moves the exact result by at least u; the filling makes sure no
//   step's exact result is a tie, so the rounded results differ;
// - a multiplier off by at least u moves it by at least 1.375 * u.
// A wrong sign or exponent bit moves a value by far more. So a chain that went wrong never comes
// back: it ends its block wrong (usually as an infinity: m > 1 makes every difference grow).
//
// The accumulators of a group share its addends, so they start from the same value and follow the
// same path; the order of the instructions interleaves the groups, so that successive FMAs work on
// different values and the units toggle about half their bits each time. Each group's path returns
// exactly to its start value at the end of every sweep of the work area, so every sweep (and every
// block) does the same work, and a plain C++ reference can compute it quickly.
//
// A pass is a number of identical blocks: each block starts the accumulators from `start` and runs
// whole sweeps, then stores the accumulators in `end` and adds their bit patterns to `endSums`. An
// error in any block changes the sums. Once an iteration, one register of the work area is read
// and written back in place (the one written moves every sweep): a store that went wrong stays in
// the work area, where the next sweep's read and the pass's digest find it. Nothing ever copies
// over a word that was not read first, so a wrong word is never repaired unseen. After a pass whose
// digest is wrong, fill the data afresh before the next.

#include <cstddef>
#include <cstdint>

template <int LanesT, int ChainsT, int TableSlotsT, int BlockSweepsT>
struct alignas(64) VectorKernelData {
    static constexpr int kLanes = LanesT;
    static constexpr int kChains = ChainsT;
    static constexpr int kGroups = 4;
    static constexpr int kChainsPerGroup = ChainsT / kGroups;
    static constexpr int kTableSlots = TableSlotsT;  // a slot is one addend register
    static constexpr int kSlotBytes = LanesT * 8;
    static constexpr int kIterationBytes = 1024;
    static constexpr int kSlotsPerIteration = kIterationBytes / kSlotBytes;
    static constexpr int kSweepIterations = TableSlotsT / kSlotsPerIteration;
    static constexpr int kBlockSweeps = BlockSweepsT;
    static constexpr int kBlockIterations = kSweepIterations * BlockSweepsT;
    // Steps of one accumulator in a sweep: the slots go to the groups in turn.
    static constexpr int kStepsPerSweep = TableSlotsT / kGroups;
    static constexpr int kFmasPerIteration = kSlotsPerIteration * kChainsPerGroup;
    // Slots loaded together, each into a register of its own, whose groups' FMAs then alternate:
    // two at 256 bits (all the registers there are), one per group at 512 bits.
    static constexpr int kBundleSlots = LanesT == 8 ? 4 : 2;
    static_assert(ChainsT % kGroups == 0 && kSlotsPerIteration % kGroups == 0);
    static_assert(kSlotsPerIteration % kBundleSlots == 0 && kGroups % kBundleSlots == 0);
    static_assert(TableSlotsT % kSlotsPerIteration == 0, "a sweep is whole iterations");

    // The accumulators at every block start, never written by the kernel (the chains of a group
    // hold the same values).
    alignas(64) double start[ChainsT][LanesT];
    // The accumulators at the last block's end (equal to start when nothing went wrong).
    alignas(64) double end[ChainsT][LanesT];
    // Over the pass's blocks, the sum of the end accumulators' bit patterns (modulo 2^64).
    alignas(64) std::uint64_t endSums[ChainsT][LanesT];
    alignas(64) double multiplier[LanesT];
    // The work area: slot s holds the next addend of group s % kGroups.
    alignas(64) double table[TableSlotsT][LanesT];

    // The group an accumulator belongs to, and the group a slot feeds.
    static constexpr int GroupOfChain(int chain) { return chain / kChainsPerGroup; }
    static constexpr int GroupOfSlot(int slot) { return slot % kGroups; }
};

// The bounds the filling keeps every accumulator and addend within (magnitudes).
inline constexpr double kVectorKernelLowestState = 1.375;
inline constexpr double kVectorKernelHighestState = 1.96;

// Fills everything but end and endSums (the kernel writes those), from a seed.
template <class Data>
void InitVectorKernelData(Data* data, std::uint64_t seed);

// A 64-bit digest of everything the kernel writes: end, endSums and the work area. Each word
// passes through a bijection of the running value, so any single changed word changes the digest.
template <class Data>
std::uint64_t VectorKernelDigest(const Data& data);
