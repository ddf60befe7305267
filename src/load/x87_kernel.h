#pragma once
// The x87 kernel's operands and one pass of it, for the worker loop and for tests.

#include <cstdint>

#include "load/load_kernel.h"
#include "render/math.h"

constexpr std::int32_t kX87PassIterations = 1250000;

// Builds the kernel's two matrices.
void BuildX87KernelMatrices(Matrix4* a, Matrix4* b);
// One pass over row 0 of a and b: iterations loops, the counter decreased by step (read from
// memory); leaves the x87 stack empty. iterations must be a positive multiple of step (else it
// runs nothing and returns 0). Returns the integer accumulator, which adds the bit pattern of
// a's row 0 column 2 once per loop.
std::uint32_t RunX87KernelPass(const Matrix4& a, const Matrix4& b, const std::int32_t* iterations,
                               const std::int32_t* step);

// The x87 mix as a worker runs it. Its arithmetic results are dropped by design: what it checks
// is the integer accumulator its pass leaves.
class X87LoadKernel final : public LoadKernel {
public:
    X87LoadKernel();
    LoadKernelKind Kind() const override { return LoadKernelKind::X87; }
    bool SelfChecked() const override { return false; }
    PassCheck RunPass() override;
    PassCheck RunSlice() override;
    // The accumulator against the pass length times the added pattern: the one result of the pass
    // that survives it. (The pattern comes from the matrices built at set-up, so this product is
    // taken then, once, from the kernel's input.)
    bool StateDigest(std::uint64_t* obtained, std::uint64_t* expected) override {
        *obtained = m_accumulator;
        *expected = m_lastLength == &m_sliceLength ? m_expectedSliceAccumulator : m_expectedAccumulator;
        return true;
    }
    // Bit (taken modulo 32) of the accumulator after the next pass (KernelState), or of the matrix
    // value the pass adds up (WorkArea) during the next pass.
    bool InjectWrongBit(WrongBitPlace place, int bit) override;

private:
    Matrix4 m_a;
    Matrix4 m_b;
    std::int32_t m_passLength = kX87PassIterations;
    std::int32_t m_step = 1;
    // A slice: a fiftieth of a pass (the pass length divides by it).
    static constexpr std::int32_t kSliceLength = kX87PassIterations / 50;
    PassCheck Run(const std::int32_t* length);

    std::int32_t m_sliceLength = kSliceLength;
    const std::int32_t* m_lastLength = &m_passLength;  // the length of the last pass or slice
    std::uint32_t m_accumulator = 0;
    std::uint32_t m_expectedAccumulator = 0;
    std::uint32_t m_expectedSliceAccumulator = 0;
    bool m_injectPending = false;
    WrongBitPlace m_injected = WrongBitPlace::KernelState;
    std::uint32_t m_injectedMask = 0;
};
