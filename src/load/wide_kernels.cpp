#include "load/wide_kernels.h"

#include "load/avx512_kernel.h"
#include "load/fma_kernel.h"
#include "load/vector_kernel_reference.h"

namespace {

// Data, set-up, blocks and digest of one wide kernel.
template <typename Data, void (*Init)(Data*), bool (*Blocks)(Data*, int), std::uint64_t (*Digest)(const Data&),
          std::uint64_t kExpected, int kPassBlocks, LoadKernelKind kKind>
class WideLoadKernel final : public LoadKernel {
public:
    WideLoadKernel() : m_data(std::make_unique<Data>()) { Init(m_data.get()); }

    LoadKernelKind Kind() const override { return kKind; }
    bool SelfChecked() const override { return true; }

    PassCheck RunPass() override {
        RunBlocksWithInjection();
        PassCheck check;
        check.checked = true;
        check.expected = kExpected;
        check.obtained = Digest(*m_data);
        check.correct = check.obtained == kExpected;
        // A wrong pass may have left wrong values behind: the next pass starts clean.
        if (!check.correct) Init(m_data.get());
        return check;
    }

    // Every pass was compared already.
    bool StateDigest(std::uint64_t*, std::uint64_t*) override { return false; }

    bool InjectWrongBit(WrongBitPlace place, int bit) override {
        m_injected = place;
        m_injectedBit = bit;
        m_injectPending = true;
        return true;
    }

private:
    // A whole pass; with an injection pending, its middle block works from a wrong start value
    // (an accumulator gone wrong), or a work-area word goes wrong between two blocks and stays so.
    void RunBlocksWithInjection() {
        if (!m_injectPending) {
            Blocks(m_data.get(), kPassBlocks);
            return;
        }
        m_injectPending = false;
        constexpr int kBefore = kPassBlocks / 2;
        Blocks(m_data.get(), kBefore);
        double& word = m_injected == WrongBitPlace::KernelState
                           ? m_data->start[Data::kChains - 1][Data::kLanes - 1]
                           : m_data->table[Data::kTableSlots / 2][0];
        const double right = word;
        word = FlipBit(word, m_injectedBit);
        Blocks(m_data.get(), 1);
        if (m_injected == WrongBitPlace::KernelState) word = right;
        Blocks(m_data.get(), kPassBlocks - kBefore - 1);
    }

    std::unique_ptr<Data> m_data;
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
