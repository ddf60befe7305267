// The x87 kernel: the full eight-entry x87 stack kept busy with additions and multiplications of
// row 0 of two matrices, plus address arithmetic and an integer accumulation.

#include "load/x87_kernel.h"

#include <cstring>

void BuildX87KernelMatrices(Matrix4* a, Matrix4* b) {
    a->Identity();
    a->Rotate(5.0f, 10.0f, 15.0f);
    a->Translate(50.0f, 60.0f, 70.0f);
    a->Rotate(10.0f, 11.0f, 12.0f);
    a->Scale(0.997f, 0.998f, 0.999f);

    b->Identity();
    b->Rotate(75.0f, 710.0f, 715.0f);
    b->Translate(750.0f, 760.0f, 770.0f);
    b->Rotate(710.0f, 711.0f, 712.0f);
    b->Scale(70.997f, 70.998f, 70.999f);
}

// See RunSseKernelPass: no memory for the sanitizer to check outside the assembly.
__attribute__((no_sanitize("address")))
std::uint32_t RunX87KernelPass(const Matrix4& a, const Matrix4& b, const std::int32_t* iterations,
                               const std::int32_t* step) {
    // The counter must reach exactly 0, or the loop would run through the whole 32-bit range.
    if (iterations == nullptr || step == nullptr || *iterations <= 0 || *step <= 0 || *iterations % *step != 0)
        return 0;
    const float* rowA = a.m[0];
    const float* rowB = b.m[0];
    std::uint32_t counter = 0;
    std::uint32_t accumulator = 0;
    const void* scratch = nullptr;
    asm volatile(
        "flds 0(%[b])\n\t"
        "flds 4(%[b])\n\t"
        "flds 8(%[b])\n\t"
        "flds 12(%[b])\n\t"
        "movl (%[iterations]), %k[counter]\n"
        "1:\n\t"
        "flds 0(%[a])\n\t"
        "fadds 0(%[b])\n\t"
        "lea 4(%[a], %q[counter], 4), %[scratch]\n\t"
        "flds 4(%[a])\n\t"
        "fmuls 4(%[b])\n\t"
        "lea 8(%[b], %q[counter], 2), %[scratch]\n\t"
        "flds 8(%[a])\n\t"
        "fadds 8(%[b])\n\t"
        "addl 8(%[a]), %k[accumulator]\n\t"
        "flds 12(%[a])\n\t"
        "fmuls 12(%[b])\n\t"    // eight entries: the stack is full
        "lea 12(%[a], %q[counter], 8), %[scratch]\n\t"
        "fxch %%st(7)\n\t"
        "fsubrp %%st, %%st(0)\n\t"  // AT&T spelling of Intel FSUBP ST(0), ST (DE E8)
        "fxch %%st(5)\n\t"
        "fmulp %%st, %%st(0)\n\t"
        "fxch %%st(3)\n\t"
        "fsubrp %%st, %%st(0)\n\t"  // AT&T spelling of Intel FSUBP ST(0), ST (DE E8)
        "fxch %%st(1)\n\t"
        "fmulp %%st, %%st(0)\n\t"
        "lea 16(%[b], %q[counter], 4), %[scratch]\n\t"
        "lea -4(%[a], %q[counter], 2), %[scratch]\n\t"
        "subl (%[step]), %k[counter]\n\t"
        "jnz 1b\n\t"
        "fstp %%st(0)\n\t"
        "fstp %%st(0)\n\t"
        "fstp %%st(0)\n\t"
        "fstp %%st(0)\n\t"
        : [counter] "=&r"(counter), [accumulator] "+r"(accumulator), [scratch] "=&r"(scratch)
        : [a] "r"(rowA), [b] "r"(rowB), [iterations] "r"(iterations), [step] "r"(step)
        : "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)", "cc", "memory");
    return accumulator;
}

X87LoadKernel::X87LoadKernel() {
    BuildX87KernelMatrices(&m_a, &m_b);
    std::uint32_t pattern = 0;
    std::memcpy(&pattern, &m_a.m[0][2], sizeof pattern);
    m_expectedAccumulator = pattern * static_cast<std::uint32_t>(m_passLength / m_step);
    m_expectedSliceAccumulator = pattern * static_cast<std::uint32_t>(m_sliceLength / m_step);
}

PassCheck X87LoadKernel::RunPass() { return Run(&m_passLength); }

PassCheck X87LoadKernel::RunSlice() { return Run(&m_sliceLength); }

PassCheck X87LoadKernel::Run(const std::int32_t* length) {
    m_lastLength = length;
    if (!m_injectPending) {
        m_accumulator = RunX87KernelPass(m_a, m_b, length, &m_step);
        return PassCheck{};
    }
    m_injectPending = false;
    if (m_injected == WrongBitPlace::KernelState) {
        m_accumulator = RunX87KernelPass(m_a, m_b, length, &m_step) ^ m_injectedMask;
        return PassCheck{};
    }
    const Matrix4 right = m_a;
    std::uint32_t pattern = 0;
    std::memcpy(&pattern, &m_a.m[0][2], sizeof pattern);
    pattern ^= m_injectedMask;
    std::memcpy(&m_a.m[0][2], &pattern, sizeof pattern);
    m_accumulator = RunX87KernelPass(m_a, m_b, length, &m_step);
    m_a = right;
    return PassCheck{};
}

bool X87LoadKernel::InjectWrongBit(WrongBitPlace place, int bit) {
    m_injectPending = true;
    m_injected = place;
    m_injectedMask = std::uint32_t{1} << (bit % 32);
    return true;
}
