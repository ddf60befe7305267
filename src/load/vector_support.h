#pragma once
// Which wide-vector kernels this processor and its operating system can run. A kernel needs both:
// the processor must have the instructions (CPUID) and the system must save and restore the wider
// registers on every thread switch (XCR0, read with XGETBV), or another thread's work would
// overwrite them.

#include <cstdint>

// The register values the answer depends on, as read by ReadVectorFeatureRegisters.
struct VectorFeatureRegisters {
    unsigned maxBasicLeaf = 0;  // CPUID leaf 0 EAX: leaf 7 means nothing when this is below 7
    unsigned leaf1Ecx = 0;      // OSXSAVE bit 27, AVX bit 28, FMA bit 12
    unsigned leaf7Ebx = 0;      // AVX2 bit 5, AVX512F bit 16
    std::uint64_t xcr0 = 0;     // XGETBV(0); 0 when OSXSAVE is clear (XGETBV would fault)
};

struct VectorSupport {
    bool fmaKernel = false;     // AVX, AVX2 and FMA, and the system saves XMM and YMM state
    bool avx512Kernel = false;  // AVX and AVX-512F, and the system also saves the opmask and ZMM state
};

// The pure decision, for injected register values.
VectorSupport VectorSupportFromRegisters(const VectorFeatureRegisters& registers);
// Reads this processor: executes XGETBV only when CPUID says the system has enabled it.
VectorFeatureRegisters ReadVectorFeatureRegisters();

// This processor's answer, read once (thread-safe). Never start a kernel these deny.
bool CanRunFmaKernel();
bool CanRunAvx512Kernel();
