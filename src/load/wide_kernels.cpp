#include "load/wide_kernels.h"

#include <cstring>

#include "load/avx512_kernel.h"
#include "load/fma_kernel.h"
#include "load/vector_kernel_reference.h"

namespace {

// Data, set-up, blocks and digest of one wide kernel.
template <typename Data, void (*Init)(Data*), bool (*Blocks)(Data*, int), std::uint64_t (*Digest)(const Data&),
          std::uint64_t kExpected, int kPassBlocks, LoadKernelKind kKind>
class WideLoadKernel final : public LoadKernel {
public:
    WideLoadKernel() : m_data(std::make_unique<Data>()) {
        Init(m_data.get());
        m_sliceExpected = SliceDigest(*m_data);
    }

    LoadKernelKind Kind() const override { return kKind; }
    bool SelfChecked() const override { return true; }

    PassCheck RunPass() override { return RunChecked(kPassBlocks, kExpected); }
    PassCheck RunSlice() override { return RunChecked(kSliceBlocks, m_sliceExpected); }

    // Every pass was compared already.
    bool StateDigest(std::uint64_t*, std::uint64_t*) override { return false; }

    bool InjectWrongBit(WrongBitPlace place, int bit) override {
        m_injected = place;
        m_injectedBit = bit;
        m_injectPending = true;
        return true;
    }

private:
    // A slice: a sixty-fourth of a pass.
    static constexpr int kSliceBlocks = kPassBlocks / 64;

    // What blocks blocks leave behind when nothing goes wrong: every block ends where it started
    // (each sweep returns to the start; the reference test holds the kernels to it), so the sums
    // are blocks times the start values, and the work area is as filled.
    static std::uint64_t SliceDigest(const Data& filled) {
        auto expected = std::make_unique<Data>(filled);
        std::memcpy(expected->end, expected->start, sizeof(expected->end));
        for (int chain = 0; chain < Data::kChains; ++chain) {
            for (int lane = 0; lane < Data::kLanes; ++lane) {
                std::uint64_t bits;
                std::memcpy(&bits, &expected->start[chain][lane], sizeof bits);
                expected->endSums[chain][lane] = bits * static_cast<std::uint64_t>(kSliceBlocks);
            }
        }
        return Digest(*expected);
    }

    PassCheck RunChecked(int blocks, std::uint64_t expected) {
        RunBlocksWithInjection(blocks);
        PassCheck check;
        check.checked = true;
        check.expected = expected;
        check.obtained = Digest(*m_data);
        check.correct = check.obtained == expected;
        // A wrong pass may have left wrong values behind: the next pass starts clean.
        if (!check.correct) Init(m_data.get());
        return check;
    }

    // blocks blocks; with an injection pending, the middle block works from a wrong start value
    // (an accumulator gone wrong), or a work-area word goes wrong between two blocks and stays so.
    void RunBlocksWithInjection(int blocks) {
        if (!m_injectPending) {
            Blocks(m_data.get(), blocks);
            return;
        }
        m_injectPending = false;
        const int before = blocks / 2;
        Blocks(m_data.get(), before);
        double& word = m_injected == WrongBitPlace::KernelState
                           ? m_data->start[Data::kChains - 1][Data::kLanes - 1]
                           : m_data->table[Data::kTableSlots / 2][0];
        const double right = word;
        word = FlipBit(word, m_injectedBit);
        Blocks(m_data.get(), 1);
        if (m_injected == WrongBitPlace::KernelState) word = right;
        Blocks(m_data.get(), blocks - before - 1);
    }

    std::unique_ptr<Data> m_data;
    std::uint64_t m_sliceExpected = 0;
    bool m_injectPending = false;
    WrongBitPlace m_injected = WrongBitPlace::KernelState;
    int m_injectedBit = 0;
};

using FmaLoadKernel = WideLoadKernel<FmaKernelData, InitFmaKernelData, RunFmaKernelBlocks, FmaKernelDigest,
                                     kFmaKernelPassDigest, kFmaKernelPassBlocks, LoadKernelKind::Fma>;
using Avx512LoadKernel = WideLoadKernel<Avx512KernelData, InitAvx512KernelData, RunAvx512KernelBlocks, Avx512KernelDigest,
                                        kAvx512KernelPassDigest, kAvx512KernelPassBlocks, LoadKernelKind::Avx512>;

}  // namespace

std::unique_ptr<LoadKernel> MakeWideKernel(LoadKernelKind kind) {
    switch (kind) {
    case LoadKernelKind::Fma: return std::make_unique<FmaLoadKernel>();
    case LoadKernelKind::Avx512: return std::make_unique<Avx512LoadKernel>();
    default: return nullptr;
    }
}
