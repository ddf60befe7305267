// The AVX-512 kernel: the pass in inline assembly, line for line the AVX2 + FMA kernel's
// (fma_kernel.cpp) at twice the width and twice the accumulators.

#include "load/avx512_kernel.h"

#include <cstddef>
#include <cstdint>

#include "load/vector_support.h"

namespace {

// Round to nearest, every exception masked, no flush to zero: the arithmetic the digest assumes.
const std::uint32_t kDefaultMxcsr = 0x1F80;

static_assert(Avx512KernelData::kSlotBytes == 64 && Avx512KernelData::kSlotsPerIteration == 16 &&
                  Avx512KernelData::kChainsPerGroup == 6 && Avx512KernelData::kBundleSlots == 4 &&
                  Avx512KernelData::kIterationBytes == 1024,
              "the assembly reads sixteen 64-byte slots an iteration, four at a time, each for six accumulators");

}  // namespace

// Accumulator k from its start value; after a block, into end and added to endSums.
#define FERROX_AVX512_RESTORE(k) "vmovapd %c[start]+64*" #k "(%[d]), %%zmm" #k "\n\t"
#define FERROX_AVX512_FOLD(k)                                       \
    "vmovapd %%zmm" #k ", %c[end]+64*" #k "(%[d])\n\t"              \
    "vpaddq %c[sums]+64*" #k "(%[d]), %%zmm" #k ", %%zmm" #k "\n\t" \
    "vmovdqa64 %%zmm" #k ", %c[sums]+64*" #k "(%[d])\n\t"
#define FERROX_AVX512_ZERO_SUM(k) "vmovdqa64 %%zmm0, %c[sums]+64*" #k "(%[d])\n\t"
// zmm16-31 are beyond vzeroupper's reach.
#define FERROX_AVX512_CLEAR(k) "vpxord %%zmm" #k ", %%zmm" #k ", %%zmm" #k "\n\t"

// One step of accumulator a with the addend in zmm c: a = a * multipliers (zmm24) + addend.
#define FERROX_AVX512_STEP(c, a) "vfmadd213pd %%zmm" #c ", %%zmm24, %%zmm" #a "\n\t"
// The k-th accumulator of each group (zmm k, 6 + k, 12 + k, 18 + k), each with its group's addend.
#define FERROX_AVX512_ROUND(g0, g1, g2, g3) \
    FERROX_AVX512_STEP(25, g0) FERROX_AVX512_STEP(26, g1) FERROX_AVX512_STEP(27, g2) FERROX_AVX512_STEP(28, g3)
// Four slots from offset, one for each group (zmm25-28), then six rounds of steps.
#define FERROX_AVX512_QUAD(offset)                                                                       \
    "vmovapd " #offset "(%[p]), %%zmm25\n\t"                                                             \
    "vmovapd " #offset "+64(%[p]), %%zmm26\n\t"                                                          \
    "vmovapd " #offset "+128(%[p]), %%zmm27\n\t"                                                         \
    "vmovapd " #offset "+192(%[p]), %%zmm28\n\t"                                                         \
    FERROX_AVX512_ROUND(0, 6, 12, 18) FERROX_AVX512_ROUND(1, 7, 13, 19) FERROX_AVX512_ROUND(2, 8, 14, 20) \
    FERROX_AVX512_ROUND(3, 9, 15, 21) FERROX_AVX512_ROUND(4, 10, 16, 22) FERROX_AVX512_ROUND(5, 11, 17, 23)
// The register of the iteration's 1,024 bytes at copyOffset, read and written back in place.
#define FERROX_AVX512_WRITE_BACK                         \
    "vmovapd (%[p], %[copyOffset]), %%zmm29\n\t"         \
    "vmovapd %%zmm29, (%[p], %[copyOffset])\n\t"

#define FERROX_AVX512_EACH(macro)                                                                                \
    macro(0) macro(1) macro(2) macro(3) macro(4) macro(5) macro(6) macro(7) macro(8) macro(9) macro(10) macro(11) \
    macro(12) macro(13) macro(14) macro(15) macro(16) macro(17) macro(18) macro(19) macro(20) macro(21)          \
    macro(22) macro(23)

namespace {

// See RunFmaKernelAssembly: no memory for the sanitizer to check outside the assembly.
__attribute__((target("avx512f"), no_sanitize("address")))
void RunAvx512KernelAssembly(Avx512KernelData* data, std::int64_t blocks) {
    std::uint32_t savedMxcsr = 0;
    std::int64_t sweeps = 0, iterations = 0, copyOffset = 0;
    double* p = nullptr;
    asm volatile(
        "vstmxcsr %[savedMxcsr]\n\t"
        "vldmxcsr %[defaultMxcsr]\n\t"
        "vmovapd %c[multiplier](%[d]), %%zmm24\n\t"
        "vpxor %%xmm0, %%xmm0, %%xmm0\n\t"
        FERROX_AVX512_EACH(FERROX_AVX512_ZERO_SUM)
        "1:\n\t"  // a block
        FERROX_AVX512_EACH(FERROX_AVX512_RESTORE)
        "mov %[blockSweeps], %[sweeps]\n"
        "2:\n\t"  // a sweep of the work area
        "lea %c[table](%[d]), %[p]\n\t"
        "mov %[sweepIterations], %[iterations]\n"
        "3:\n\t"  // an iteration: 16 slots, 96 FMAs, one register written back
        FERROX_AVX512_QUAD(0) FERROX_AVX512_QUAD(256)
        FERROX_AVX512_WRITE_BACK
        FERROX_AVX512_QUAD(512) FERROX_AVX512_QUAD(768)
        "add $1024, %[p]\n\t"
        "dec %[iterations]\n\t"
        "jnz 3b\n\t"
        "add $64, %[copyOffset]\n\t"
        "and $1023, %[copyOffset]\n\t"
        "dec %[sweeps]\n\t"
        "jnz 2b\n\t"
        FERROX_AVX512_EACH(FERROX_AVX512_FOLD)
        "dec %[blocks]\n\t"
        "jnz 1b\n\t"
        FERROX_AVX512_CLEAR(16) FERROX_AVX512_CLEAR(17) FERROX_AVX512_CLEAR(18) FERROX_AVX512_CLEAR(19)
        FERROX_AVX512_CLEAR(20) FERROX_AVX512_CLEAR(21) FERROX_AVX512_CLEAR(22) FERROX_AVX512_CLEAR(23)
        FERROX_AVX512_CLEAR(24) FERROX_AVX512_CLEAR(25) FERROX_AVX512_CLEAR(26) FERROX_AVX512_CLEAR(27)
        FERROX_AVX512_CLEAR(28) FERROX_AVX512_CLEAR(29)
        "vzeroupper\n\t"
        "vldmxcsr %[savedMxcsr]\n\t"
        : [blocks] "+r"(blocks), [sweeps] "+r"(sweeps), [iterations] "+r"(iterations),
          [copyOffset] "+r"(copyOffset), [p] "+r"(p), [savedMxcsr] "+m"(savedMxcsr)
        : [d] "r"(data), [defaultMxcsr] "m"(kDefaultMxcsr),
          [start] "i"(offsetof(Avx512KernelData, start)), [end] "i"(offsetof(Avx512KernelData, end)),
          [sums] "i"(offsetof(Avx512KernelData, endSums)), [multiplier] "i"(offsetof(Avx512KernelData, multiplier)),
          [table] "i"(offsetof(Avx512KernelData, table)), [blockSweeps] "i"(Avx512KernelData::kBlockSweeps),
          [sweepIterations] "i"(Avx512KernelData::kSweepIterations)
        : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11",
          "xmm12", "xmm13", "xmm14", "xmm15", "xmm16", "xmm17", "xmm18", "xmm19", "xmm20", "xmm21", "xmm22",
          "xmm23", "xmm24", "xmm25", "xmm26", "xmm27", "xmm28", "xmm29", "cc", "memory");
}

}  // namespace

#undef FERROX_AVX512_EACH
#undef FERROX_AVX512_WRITE_BACK
#undef FERROX_AVX512_QUAD
#undef FERROX_AVX512_ROUND
#undef FERROX_AVX512_STEP
#undef FERROX_AVX512_CLEAR
#undef FERROX_AVX512_ZERO_SUM
#undef FERROX_AVX512_FOLD
#undef FERROX_AVX512_RESTORE

void InitAvx512KernelData(Avx512KernelData* data) { InitVectorKernelData(data, 0x46455252'4F583531ull); }

bool RunAvx512KernelBlocks(Avx512KernelData* data, int blocks) {
    // The check stays outside the assembly's function, whose own code may already use AVX-512.
    if (!CanRunAvx512Kernel()) return false;
    // The assembly's aligned loads and stores would fault on a misaligned work area.
    if (data == nullptr || reinterpret_cast<std::uintptr_t>(data) % alignof(Avx512KernelData) != 0) return false;
    if (blocks > 0) RunAvx512KernelAssembly(data, blocks);
    return true;
}

bool RunAvx512KernelPass(Avx512KernelData* data) { return RunAvx512KernelBlocks(data, kAvx512KernelPassBlocks); }

std::uint64_t Avx512KernelDigest(const Avx512KernelData& data) { return VectorKernelDigest(data); }
