// Every single wrong bit in the wide-vector kernels' state reaches the pass digest: a simulation
// over the plain C++ reference (so it runs on any processor), for every bit position of an
// accumulator (the restored start value, every FMA result, the end value), of a work-area word and
// of the multiplier register, at 64 places spread over a pass.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "load/avx512_kernel.h"
#include "load/fma_kernel.h"
#include "load/vector_kernel_reference.h"

namespace {

struct FmaWidth {
    using Data = FmaKernelData;
    static constexpr std::uint64_t kDigest = kFmaKernelPassDigest;
    static constexpr int kPassBlocks = kFmaKernelPassBlocks;
    static void Init(Data* data) { InitFmaKernelData(data); }
    static std::uint64_t Digest(const Data& data) { return FmaKernelDigest(data); }
};

struct Avx512Width {
    using Data = Avx512KernelData;
    static constexpr std::uint64_t kDigest = kAvx512KernelPassDigest;
    static constexpr int kPassBlocks = kAvx512KernelPassBlocks;
    static void Init(Data* data) { InitAvx512KernelData(data); }
    static std::uint64_t Digest(const Data& data) { return Avx512KernelDigest(data); }
};

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

const char* SiteName(VectorFaultSite site) {
    switch (site) {
    case VectorFaultSite::Accumulator: return "accumulator";
    case VectorFaultSite::Addend: return "work-area word";
    case VectorFaultSite::Multiplier: return "multiplier";
    default: return "nothing";
    }
}

// A whole pass of the reference with one fault, built from the fault-free pass: the chains the
// fault reaches are simulated from the fault on (their correct state there taken from the group's
// path, which every sweep repeats), the others keep their fault-free ends.
template <class Width>
class FaultyPass {
public:
    using Data = typename Width::Data;
    static constexpr int kBlockSteps = Data::kBlockSweeps * Data::kStepsPerSweep;

    FaultyPass() : m_correct(std::make_unique<Data>()), m_faulty(std::make_unique<Data>()) {
        Width::Init(m_correct.get());
        RunVectorKernelReference(m_correct.get(), Width::kPassBlocks);
        // The path of each group in each lane over one sweep: the state before each step.
        m_paths.assign(Data::kGroups * Data::kLanes, std::vector<double>(Data::kStepsPerSweep));
        for (int group = 0; group < Data::kGroups; ++group) {
            for (int lane = 0; lane < Data::kLanes; ++lane) {
                const int chain = group * Data::kChainsPerGroup;
                double value = m_correct->start[chain][lane];
                for (int step = 0; step < Data::kStepsPerSweep; ++step) {
                    Path(group, lane)[step] = value;
                    value = RunReferenceLane(*m_correct, chain, lane, step, step + 1, value);
                }
            }
        }
    }

    const Data& Correct() const { return *m_correct; }

    // The pass's digest with fault (site, step, bit, slot) in block `block` of lane `lane`;
    // chain names the accumulator an accumulator fault hits.
    std::uint64_t Digest(const VectorFault& fault, int block, int chain, int lane) {
        std::memcpy(static_cast<void*>(m_faulty.get()), m_correct.get(), sizeof(Data));
        const bool persists = fault.site != VectorFaultSite::Accumulator;
        const int laterBlocks = persists ? Width::kPassBlocks - 1 - block : 0;
        for (int group = 0; group < Data::kGroups; ++group) {
            const int first = group * Data::kChainsPerGroup;
            const bool reached = fault.site == VectorFaultSite::Multiplier ||
                                 (fault.site == VectorFaultSite::Addend && Data::GroupOfSlot(fault.slot) == group) ||
                                 (fault.site == VectorFaultSite::Accumulator && Data::GroupOfChain(chain) == group);
            if (!reached) continue;
            const int simulated = fault.site == VectorFaultSite::Accumulator ? chain : first;
            const double before = fault.step < kBlockSteps ? Path(group, lane)[fault.step % Data::kStepsPerSweep]
                                                           : m_correct->end[simulated][lane];
            const double blockEnd = RunReferenceLane(*m_correct, simulated, lane, fault.step, kBlockSteps, before, fault);
            double laterEnd = m_correct->end[simulated][lane];
            if (laterBlocks > 0) {
                VectorFault throughout = fault;
                throughout.step = 0;
                laterEnd = RunReferenceLane(*m_correct, simulated, lane, 0, kBlockSteps, m_correct->start[simulated][lane],
                                            throughout);
            }
            // The chains of a group share their start and their addends, so they share the fault's
            // effect: one accumulator fault hits one of them, the others reach the whole group.
            for (int member = first; member < first + Data::kChainsPerGroup; ++member) {
                if (fault.site == VectorFaultSite::Accumulator && member != chain) continue;
                const std::uint64_t correctEnd = Bits(m_correct->end[member][lane]);
                std::uint64_t& sum = m_faulty->endSums[member][lane];
                sum += Bits(blockEnd) - correctEnd;
                sum += static_cast<std::uint64_t>(laterBlocks) * (Bits(laterEnd) - correctEnd);
                m_faulty->end[member][lane] = block == Width::kPassBlocks - 1 ? blockEnd : laterBlocks > 0 ? laterEnd
                                                                                        : m_correct->end[member][lane];
            }
        }
        if (fault.site == VectorFaultSite::Addend)
            m_faulty->table[fault.slot][lane] = FlipBit(m_faulty->table[fault.slot][lane], fault.bit);
        return Width::Digest(*m_faulty);
    }

private:
    std::vector<double>& Path(int group, int lane) { return m_paths[group * Data::kLanes + lane]; }

    std::unique_ptr<Data> m_correct;
    std::unique_ptr<Data> m_faulty;
    std::vector<std::vector<double>> m_paths;
};

template <class Width>
class VectorFaultCoverageTest : public testing::Test {};

using Widths = testing::Types<FmaWidth, Avx512Width>;
TYPED_TEST_SUITE(VectorFaultCoverageTest, Widths);

}  // namespace

TYPED_TEST(VectorFaultCoverageTest, EveryBitAtEveryPlaceReachesTheDigest) {
    using Data = typename TypeParam::Data;
    constexpr int kBlockSteps = FaultyPass<TypeParam>::kBlockSteps;
    constexpr int kPlaces = 64;
    FaultyPass<TypeParam> pass;
    ASSERT_EQ(TypeParam::Digest(pass.Correct()), TypeParam::kDigest);
    // The simulation itself: without a fault it gives the fault-free digest.
    ASSERT_EQ(pass.Digest(VectorFault{VectorFaultSite::None, 0, 0, 0}, 3, 0, 0), TypeParam::kDigest);

    const int blocks[4] = {0, 1, TypeParam::kPassBlocks / 2, TypeParam::kPassBlocks - 1};
    int tried = 0, missed = 0;
    for (VectorFaultSite site : {VectorFaultSite::Accumulator, VectorFaultSite::Addend, VectorFaultSite::Multiplier}) {
        for (int place = 0; place < kPlaces; ++place) {
            // From the first step of a block to its last (an accumulator also at its end), in the
            // first, second, middle and last block, over every chain and lane.
            const int lastStep = site == VectorFaultSite::Accumulator ? kBlockSteps : kBlockSteps - 1;
            const int step = static_cast<int>(static_cast<long long>(place) * lastStep / (kPlaces - 1));
            const int block = blocks[place % 4];
            const int chain = place * 7 % Data::kChains;
            const int lane = place * 5 % Data::kLanes;
            const int slot = step % Data::kStepsPerSweep * Data::kGroups + Data::GroupOfChain(chain);
            for (int bit = 0; bit < 64; ++bit) {
                const VectorFault fault{site, step, bit, slot};
                ++tried;
                if (pass.Digest(fault, block, chain, lane) != TypeParam::kDigest) continue;
                if (++missed <= 10) {
                    ADD_FAILURE() << SiteName(site) << " bit " << bit << " at step " << step << " of block " << block
                                  << ", chain " << chain << ", lane " << lane << " left the digest unchanged";
                }
            }
        }
    }
    EXPECT_EQ(tried, 3 * kPlaces * 64);
    EXPECT_EQ(missed, 0) << missed << " of " << tried << " wrong bits went unseen";
}
