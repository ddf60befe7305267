#pragma once
// The wide-vector kernels' pass in plain C++: std::fma on each lane in the kernels' order, so the
// result is exact IEEE arithmetic and the same on every x86-64 processor. Built without FMA
// contraction (see CMakeLists.txt) so the compiler cannot fuse or split any other operation.

#include <cstdint>

// What one block's arithmetic did, over every FMA result of every lane.
struct VectorKernelReferenceStats {
    double smallestMagnitude = 0;
    double largestMagnitude = 0;
    bool allNormal = false;
    // Bits that differ between successive FMA results of a lane, in program order.
    double meanFlippedBits = 0;
};

// Fills end and endSums of data (filled by InitVectorKernelData) as blocks blocks would.
template <class Data>
VectorKernelReferenceStats RunVectorKernelReference(Data* data, int blocks);
