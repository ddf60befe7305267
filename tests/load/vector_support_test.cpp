// Which wide-vector kernels may run: CPUID feature bits and the state the system saves (XCR0).

#include "load/vector_support.h"

#include <gtest/gtest.h>

#include <cpuid.h>

namespace {

constexpr unsigned kOsXsave = 1u << 27, kAvx = 1u << 28, kFma = 1u << 12;
constexpr unsigned kAvx2 = 1u << 5, kAvx512F = 1u << 16;
constexpr unsigned kLeaf1All = kOsXsave | kAvx | kFma;
constexpr unsigned kLeaf7All = kAvx2 | kAvx512F;
constexpr std::uint64_t kYmmSaved = 0x7, kZmmSaved = 0xE7;

}  // namespace

TEST(VectorSupportTest, NeedsTheInstructionsAndTheSavedState) {
    struct Case {
        const char* what;
        VectorFeatureRegisters registers;
        bool fma, avx512;
    };
    const Case cases[] = {
        {"AVX2 + FMA, YMM saved", {0xD, kLeaf1All, kAvx2, kYmmSaved}, true, false},
        {"everything, ZMM saved", {0xD, kLeaf1All, kLeaf7All, kZmmSaved}, true, true},
        {"AVX-512F in CPUID, system saves only YMM", {0xD, kLeaf1All, kLeaf7All, kYmmSaved}, true, false},
        {"CPUID has AVX2 + FMA, system saves only XMM", {0xD, kLeaf1All, kLeaf7All, 0x3}, false, false},
        {"YMM without XMM", {0xD, kLeaf1All, kLeaf7All, 0x5}, false, false},
        {"ZMM state without the opmask", {0xD, kLeaf1All, kLeaf7All, 0xC7}, true, false},
        {"ZMM state without ZMM16-31", {0xD, kLeaf1All, kLeaf7All, 0x67}, true, false},
        {"OSXSAVE clear: XCR0 unknown whatever it says", {0xD, kAvx | kFma, kLeaf7All, kZmmSaved}, false, false},
        {"AVX clear", {0xD, kOsXsave | kFma, kLeaf7All, kZmmSaved}, false, false},
        {"FMA clear", {0xD, kOsXsave | kAvx, kLeaf7All, kZmmSaved}, false, true},
        {"AVX2 clear", {0xD, kLeaf1All, kAvx512F, kZmmSaved}, false, true},
        {"leaf 7 beyond the highest leaf", {6, kLeaf1All, kLeaf7All, kZmmSaved}, false, false},
        {"leaf 7 the highest leaf", {7, kLeaf1All, kLeaf7All, kZmmSaved}, true, true},
        {"neighbouring bits only", {0xD, ~kLeaf1All, ~kLeaf7All, ~kZmmSaved}, false, false},
    };
    for (const Case& c : cases) {
        const VectorSupport support = VectorSupportFromRegisters(c.registers);
        EXPECT_EQ(support.fmaKernel, c.fma) << c.what;
        EXPECT_EQ(support.avx512Kernel, c.avx512) << c.what;
    }
}

TEST(VectorSupportTest, ThisProcessorsAnswerComesFromItsRegisters) {
    const VectorFeatureRegisters registers = ReadVectorFeatureRegisters();
    EXPECT_GE(registers.maxBasicLeaf, 1u);
    if ((registers.leaf1Ecx & kOsXsave) == 0) {
        EXPECT_EQ(registers.xcr0, 0u) << "XGETBV must not run without OSXSAVE";
    } else {
        EXPECT_EQ(registers.xcr0 & 0x3, 0x3u) << "a system with XSAVE enabled saves x87 and XMM state";
    }
    // Leaf 7 as the processor gives it, read here on its own, wherever leaf 7 exists.
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(0, eax, ebx, ecx, edx);
    EXPECT_EQ(registers.maxBasicLeaf, eax);
    if (eax >= 7) {
        __cpuid_count(7, 0, eax, ebx, ecx, edx);
        EXPECT_EQ(registers.leaf7Ebx, ebx);
    } else {
        EXPECT_EQ(registers.leaf7Ebx, 0u) << "no leaf 7 to read";
    }
    const VectorSupport support = VectorSupportFromRegisters(registers);
    EXPECT_EQ(CanRunFmaKernel(), support.fmaKernel);
    EXPECT_EQ(CanRunAvx512Kernel(), support.avx512Kernel);
}
