// CPUID feature bits and the XCR0 state mask, for the AVX2 + FMA and AVX-512 kernels.

#include "load/vector_support.h"

#include <cpuid.h>

namespace {

constexpr unsigned kLeaf1Fma = 1u << 12;
constexpr unsigned kLeaf1OsXsave = 1u << 27;
constexpr unsigned kLeaf1Avx = 1u << 28;
constexpr unsigned kLeaf7Avx2 = 1u << 5;
constexpr unsigned kLeaf7Avx512F = 1u << 16;

// XCR0 state components: x87 (bit 0), XMM (bit 1), YMM upper halves (bit 2); opmask (bit 5),
// ZMM0-15 upper halves (bit 6), ZMM16-31 (bit 7).
constexpr std::uint64_t kXcr0YmmState = 0x6;
constexpr std::uint64_t kXcr0ZmmState = 0xE6;

bool AllSet(std::uint64_t value, std::uint64_t mask) { return (value & mask) == mask; }

VectorSupport ReadVectorSupport() { return VectorSupportFromRegisters(ReadVectorFeatureRegisters()); }

const VectorSupport& ThisProcessorsSupport() {
    static const VectorSupport support = ReadVectorSupport();
    return support;
}

}  // namespace

VectorSupport VectorSupportFromRegisters(const VectorFeatureRegisters& registers) {
    VectorSupport support;
    // Without OSXSAVE the system has not enabled XGETBV, and XCR0 is not known.
    if (!AllSet(registers.leaf1Ecx, kLeaf1OsXsave | kLeaf1Avx)) return support;
    const unsigned leaf7Ebx = registers.maxBasicLeaf >= 7 ? registers.leaf7Ebx : 0u;
    support.fmaKernel = AllSet(registers.leaf1Ecx, kLeaf1Fma) && AllSet(leaf7Ebx, kLeaf7Avx2) &&
                        AllSet(registers.xcr0, kXcr0YmmState);
    support.avx512Kernel = AllSet(leaf7Ebx, kLeaf7Avx512F) && AllSet(registers.xcr0, kXcr0ZmmState);
    return support;
}

VectorFeatureRegisters ReadVectorFeatureRegisters() {
    VectorFeatureRegisters registers;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(0, eax, ebx, ecx, edx);
    registers.maxBasicLeaf = eax;
    __cpuid_count(1, 0, eax, ebx, ecx, edx);
    registers.leaf1Ecx = ecx;
    if (registers.maxBasicLeaf >= 7) {
        __cpuid_count(7, 0, eax, ebx, ecx, edx);
        registers.leaf7Ebx = ebx;
    }
    if ((registers.leaf1Ecx & kLeaf1OsXsave) != 0) {
        // Spelled out rather than _xgetbv, which would need the whole file built for XSAVE.
        unsigned low = 0, high = 0;
        asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0u));
        registers.xcr0 = (static_cast<std::uint64_t>(high) << 32) | low;
    }
    return registers;
}

bool CanRunFmaKernel() { return ThisProcessorsSupport().fmaKernel; }

bool CanRunAvx512Kernel() { return ThisProcessorsSupport().avx512Kernel; }
