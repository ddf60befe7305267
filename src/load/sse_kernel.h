#pragma once
// The SSE kernel's data and one pass of it, for the worker loop and for tests.

#include <cstdint>

#include "load/load_kernel.h"

constexpr int kSseWorkAreaDoubles = 32768;  // 256 KiB
constexpr std::int64_t kSsePassIterations = 4194304;

// Fills the work area (2,048-byte aligned) and the two 16-byte-aligned vectors.
void InitSseKernelData(double* workArea, std::uint32_t* v0, std::uint32_t* v1);
// One pass: iterations of the 16-group body; leaves the x87 stack empty.
void RunSseKernelPass(double* workArea, const std::uint32_t* v0, const std::uint32_t* v1,
                      std::int64_t iterations);

// A digest of the whole work area: every word counts, each at its own place.
std::uint64_t SseWorkAreaDigest(const double* workArea);
// The digest of the work area after any number of whole passes: the set-up values with the two
// doubles the passes copy. (From ReferenceSseWorkAreaDigest; a test checks that they agree.)
inline constexpr std::uint64_t kSseWorkAreaDigestAfterPasses = 0xaaaa9feaa9a18000ull;
// Builds that work area in plain C++, without running the kernel, and digests it.
std::uint64_t ReferenceSseWorkAreaDigest();

// The SSE mix as a worker runs it; its 256 KiB live in the object (on the worker's stack). Its
// arithmetic results are dropped by design: what it checks is the work area its passes leave.
class SseLoadKernel final : public LoadKernel {
public:
    SseLoadKernel() { InitSseKernelData(m_workArea, m_v0, m_v1); }
    LoadKernelKind Kind() const override { return LoadKernelKind::Sse; }
    bool SelfChecked() const override { return false; }
    PassCheck RunPass() override {
        RunSseKernelPass(m_workArea, m_v0, m_v1, kSsePassIterations);
        return PassCheck{};
    }
    // The same body, a sixty-fourth of the iterations: it leaves the work area as a pass does.
    PassCheck RunSlice() override {
        RunSseKernelPass(m_workArea, m_v0, m_v1, kSsePassIterations / 64);
        return PassCheck{};
    }
    bool StateDigest(std::uint64_t* obtained, std::uint64_t* expected) override {
        *obtained = SseWorkAreaDigest(m_workArea);
        *expected = kSseWorkAreaDigestAfterPasses;
        return true;
    }
    // Bit of a double the pass reads for its x87 refills (KernelState), or of one it never touches
    // (WorkArea); either stays wrong for the check after the pass.
    bool InjectWrongBit(WrongBitPlace place, int bit) override;

private:
    alignas(2048) double m_workArea[kSseWorkAreaDoubles];
    alignas(16) std::uint32_t m_v0[4];
    alignas(16) std::uint32_t m_v1[4];
};
