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

bool InOneBinade(double value) { return std::fabs(value) >= 1.0 && std::fabs(value) < 2.0; }

}  // namespace

double FlipBit(double value, int bit) {
    const std::uint64_t bits = Bits(value) ^ (std::uint64_t{1} << bit);
    double flipped;
    std::memcpy(&flipped, &bits, sizeof(flipped));
    return flipped;
}

template <class Data>
VectorKernelReferenceStats RunVectorKernelReference(Data* data, int blocks) {
    constexpr int kLanes = Data::kLanes;
    double a[Data::kChains][kLanes];
    std::memcpy(a, data->start, sizeof(a));
    VectorKernelReferenceStats stats;
    stats.smallestMagnitude = HUGE_VAL;
    stats.allNormal = true;
    stats.addendsInOneBinade = true;
    stats.sweepsReturnToStart = true;
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
    // One block, in the assembly's order: the slots a bundle at a time; per bundle, the first
    // accumulator of each slot's group in turn, then the second of each, and so on.
    for (int iteration = 0; iteration < Data::kBlockIterations; ++iteration) {
        const int firstSlot = iteration % Data::kSweepIterations * Data::kSlotsPerIteration;
        for (int bundle = 0; bundle < Data::kSlotsPerIteration; bundle += Data::kBundleSlots) {
            for (int member = 0; member < Data::kChainsPerGroup; ++member) {
                for (int slot = firstSlot + bundle; slot < firstSlot + bundle + Data::kBundleSlots; ++slot) {
                    const int chain = Data::GroupOfSlot(slot) * Data::kChainsPerGroup + member;
                    for (int lane = 0; lane < kLanes; ++lane) {
                        const double addend = data->table[slot][lane];
                        if (!InOneBinade(addend)) stats.addendsInOneBinade = false;
                        a[chain][lane] = ExactFma(a[chain][lane], data->multiplier[lane], addend);
                        record(lane, a[chain][lane]);
                    }
                }
            }
        }
        if ((iteration + 1) % Data::kSweepIterations == 0 && std::memcmp(a, data->start, sizeof(a)) != 0)
            stats.sweepsReturnToStart = false;
    }
    // Every block starts from the same state, so every block ends in the same one.
    std::memcpy(data->end, a, sizeof(a));
    for (int chain = 0; chain < Data::kChains; ++chain)
        for (int lane = 0; lane < kLanes; ++lane)
            data->endSums[chain][lane] = Bits(a[chain][lane]) * static_cast<std::uint64_t>(blocks > 0 ? blocks : 0);
    stats.meanFlippedBits = results > 0 ? static_cast<double>(flippedBits) / static_cast<double>(results) : 0;
    return stats;
}

template <class Data>
double RunReferenceLane(const Data& data, int chain, int lane, int first, int last, double value,
                        const VectorFault& fault) {
    const int group = Data::GroupOfChain(chain);
    const double multiplier = data.multiplier[lane];
    const double wrongMultiplier = FlipBit(multiplier, fault.bit);
    for (int step = first; step < last; ++step) {
        if (fault.site == VectorFaultSite::Accumulator && step == fault.step) value = FlipBit(value, fault.bit);
        const int slot = step % Data::kStepsPerSweep * Data::kGroups + group;
        double addend = data.table[slot][lane];
        if (fault.site == VectorFaultSite::Addend && slot == fault.slot && step >= fault.step)
            addend = FlipBit(addend, fault.bit);
        const bool wrong = fault.site == VectorFaultSite::Multiplier && step >= fault.step;
        value = ExactFma(value, wrong ? wrongMultiplier : multiplier, addend);
    }
    if (fault.site == VectorFaultSite::Accumulator && fault.step == last) value = FlipBit(value, fault.bit);
    return value;
}

template VectorKernelReferenceStats RunVectorKernelReference(FmaKernelData* data, int blocks);
template VectorKernelReferenceStats RunVectorKernelReference(Avx512KernelData* data, int blocks);
template double RunReferenceLane(const FmaKernelData& data, int chain, int lane, int first, int last, double value,
                                 const VectorFault& fault);
template double RunReferenceLane(const Avx512KernelData& data, int chain, int lane, int first, int last, double value,
                                 const VectorFault& fault);

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
