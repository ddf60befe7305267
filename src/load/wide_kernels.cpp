#include "load/wide_kernels.h"

#include "load/avx512_kernel.h"
#include "load/fma_kernel.h"

namespace {

// Data, set-up, pass and digest of one wide kernel.
template <typename Data, void (*Init)(Data*), bool (*Pass)(Data*), std::uint64_t (*Digest)(const Data&),
          std::uint64_t kExpected, LoadKernelKind kKind>
class WideLoadKernel final : public LoadKernel {
public:
    WideLoadKernel() : m_data(std::make_unique<Data>()) { Init(m_data.get()); }

    LoadKernelKind Kind() const override { return kKind; }

    void RunPass() override {
        Pass(m_data.get());
        const std::uint64_t digest = Digest(*m_data);
        if (digest != kExpected && !m_wrong) {
            m_wrong = true;
            m_wrongDigest = digest;
        }
        // A wrong pass may have left wrong values behind: the next pass starts clean.
        if (digest != kExpected) Init(m_data.get());
    }

    bool StateDigest(std::uint64_t* obtained, std::uint64_t* expected) override {
        *expected = kExpected;
        *obtained = m_wrong ? m_wrongDigest : Digest(*m_data);
        m_wrong = false;
        return true;
    }

private:
    std::unique_ptr<Data> m_data;
    bool m_wrong = false;
    std::uint64_t m_wrongDigest = 0;
};

using FmaLoadKernel = WideLoadKernel<FmaKernelData, InitFmaKernelData, RunFmaKernelPass, FmaKernelDigest,
                                     kFmaKernelPassDigest, LoadKernelKind::Fma>;
using Avx512LoadKernel = WideLoadKernel<Avx512KernelData, InitAvx512KernelData, RunAvx512KernelPass,
                                        Avx512KernelDigest, kAvx512KernelPassDigest, LoadKernelKind::Avx512>;

}  // namespace

std::unique_ptr<LoadKernel> MakeWideKernel(LoadKernelKind kind) {
    switch (kind) {
    case LoadKernelKind::Fma: return std::make_unique<FmaLoadKernel>();
    case LoadKernelKind::Avx512: return std::make_unique<Avx512LoadKernel>();
    default: return nullptr;
    }
}
