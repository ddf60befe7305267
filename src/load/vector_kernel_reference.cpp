// The reference pass of the wide-vector kernels.

#include "load/vector_kernel_reference.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "load/avx512_kernel.h"
#include "load/exact_fma.h"
#include "load/fma_kernel.h"

namespace {

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

}  // namespace

template <class Data>
VectorKernelReferenceStats RunVectorKernelReference(Data* data, int blocks) {
    constexpr int kLanes = Data::kLanes;
    double a[Data::kChains][kLanes];
    std::memcpy(a, data->start, sizeof(a));
    VectorKernelReferenceStats stats;
    stats.smallestMagnitude = HUGE_VAL;
    stats.allNormal = true;
    std::uint64_t previous[kLanes] = {};
    std::uint64_t flippedBits = 0, results = 0;
    auto record = [&](int lane, double value) {
        const double magnitude = std::fabs(value);
        if (magnitude < stats.smallestMagnitude) stats.smallestMagnitude = magnitude;
        if (magnitude > stats.largestMagnitude) stats.largestMagnitude = magnitude;
        if (!std::isnormal(value)) stats.allNormal = false;
        flippedBits += static_cast<std::uint64_t>(std::popcount(Bits(value) ^ previous[lane]));
        previous[lane] = Bits(value);
        ++results;
    };
    // One block, in the assembly's order: per slot, the first fma of each of the group's
    // accumulators, then the second of each.
    for (int iteration = 0; iteration < Data::kBlockIterations; ++iteration) {
        for (int slotOfIteration = 0; slotOfIteration < Data::kSlotsPerIteration; ++slotOfIteration) {
            const auto& slot = data->table[(iteration * Data::kSlotsPerIteration + slotOfIteration) % Data::kTableSlots];
            const int first = slotOfIteration % Data::kGroups * Data::kChainsPerGroup;
            for (int step = 0; step < 2; ++step) {
                const double* factor = step == 0 ? data->multiplier : data->inverse;
                for (int chain = first; chain < first + Data::kChainsPerGroup; ++chain) {
                    for (int lane = 0; lane < kLanes; ++lane) {
                        a[chain][lane] = ExactFma(a[chain][lane], factor[lane], slot[step][lane]);
                        record(lane, a[chain][lane]);
                    }
                }
            }
        }
    }
    // Every block starts from the same state, so every block ends in the same one.
    std::memcpy(data->end, a, sizeof(a));
    for (int chain = 0; chain < Data::kChains; ++chain)
        for (int lane = 0; lane < kLanes; ++lane)
            data->endSums[chain][lane] = Bits(a[chain][lane]) * static_cast<std::uint64_t>(blocks > 0 ? blocks : 0);
    stats.meanFlippedBits = results > 0 ? static_cast<double>(flippedBits) / static_cast<double>(results) : 0;
    return stats;
}

template VectorKernelReferenceStats RunVectorKernelReference(FmaKernelData* data, int blocks);
template VectorKernelReferenceStats RunVectorKernelReference(Avx512KernelData* data, int blocks);

void RunReferenceFmaKernelBlocks(FmaKernelData* data, int blocks) { RunVectorKernelReference(data, blocks); }

std::uint64_t ReferenceFmaKernelDigest() {
    FmaKernelData data;
    InitFmaKernelData(&data);
    RunReferenceFmaKernelBlocks(&data, kFmaKernelPassBlocks);
    return FmaKernelDigest(data);
}

void RunReferenceAvx512KernelBlocks(Avx512KernelData* data, int blocks) { RunVectorKernelReference(data, blocks); }

std::uint64_t ReferenceAvx512KernelDigest() {
    Avx512KernelData data;
    InitAvx512KernelData(&data);
    RunReferenceAvx512KernelBlocks(&data, kAvx512KernelPassBlocks);
    return Avx512KernelDigest(data);
}
