#pragma once
// The wide-vector kernels' pass in plain C++: an exact fma on each lane in the kernels' order, so
// the result is exact IEEE arithmetic and the same on every x86-64 processor. Built without FMA
// contraction (see CMakeLists.txt) so the compiler cannot fuse or split any other operation.

#include <cstdint>

// What one block's arithmetic did, over every FMA result of every lane.
struct VectorKernelReferenceStats {
    double smallestMagnitude = 0;
    double largestMagnitude = 0;
    bool allNormal = false;
    // Bits that differ between successive FMA results of a lane, in program order.
    double meanFlippedBits = 0;
    // Every step's addend between 1 and 2 in magnitude (the proof that no wrong bit is rounded away
    // needs it), and every accumulator back at its start after each sweep.
    bool addendsInOneBinade = false;
    bool sweepsReturnToStart = false;
};

// Fills end and endSums of data (filled by InitVectorKernelData) as blocks blocks would.
template <class Data>
VectorKernelReferenceStats RunVectorKernelReference(Data* data, int blocks);

// One wrong bit in the reference's arithmetic, for the tests that show every one is found.
enum class VectorFaultSite : int {
    None,
    Accumulator,  // the accumulator's value before step `step` (0: as restored; the last: its end)
    Addend,       // the work-area word (slot, lane) from step `step` on: a wrong word stays wrong
    Multiplier,   // the lane's multiplier register from step `step` on, to the end of the pass
};

struct VectorFault {
    VectorFaultSite site = VectorFaultSite::None;
    int step = 0;  // a step of the chain within its block (0 to kBlockSweeps * kStepsPerSweep)
    int bit = 0;   // 0 to 63
    int slot = 0;  // for Addend: the work-area slot
};

// One lane of one accumulator through steps first to last - 1 of a block, from value, with the
// fault applied where it says. Returns the accumulator after them.
template <class Data>
double RunReferenceLane(const Data& data, int chain, int lane, int first, int last, double value,
                        const VectorFault& fault = VectorFault());

// Flips one bit of a double's pattern.
double FlipBit(double value, int bit);
