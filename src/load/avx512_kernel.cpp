// The AVX-512 kernel: the pass in inline assembly, line for line the AVX2 + FMA kernel's
// (fma_kernel.cpp) at twice the width and twice the accumulators.

#include "load/avx512_kernel.h"

#include <cstddef>
#include <cstdint>

#include "load/vector_support.h"

namespace {

// Round to nearest, every exception masked, no flush to zero: the arithmetic the digest assumes.
const std::uint32_t kDefaultMxcsr = 0x1F80;

constexpr std::int64_t kHalfSweepBytes =
    static_cast<std::int64_t>(Avx512KernelData::kTableSlots) / 2 * Avx512KernelData::kSlotBytes;
static_assert(Avx512KernelData::kSlotBytes == 128 && Avx512KernelData::kSlotsPerIteration == 8 &&
                  Avx512KernelData::kChainsPerGroup == 6 && Avx512KernelData::kIterationBytes == 1024,
              "the assembly reads eight 128-byte slots an iteration, each for six accumulators");

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

// One slot (addend at offset, undo at offset + 64) for six accumulators: zmm24 holds the
// multipliers, zmm25 their inverses.
#define FERROX_AVX512_GROUP(offset, a, b, c, e, f, g)   \
    "vmovapd " #offset "(%[p]), %%zmm26\n\t"            \
    "vmovapd " #offset "+64(%[p]), %%zmm27\n\t"         \
    "vfmadd213pd %%zmm26, %%zmm24, %%zmm" #a "\n\t"     \
    "vfmadd213pd %%zmm26, %%zmm24, %%zmm" #b "\n\t"     \
    "vfmadd213pd %%zmm26, %%zmm24, %%zmm" #c "\n\t"     \
    "vfmadd213pd %%zmm26, %%zmm24, %%zmm" #e "\n\t"     \
    "vfmadd213pd %%zmm26, %%zmm24, %%zmm" #f "\n\t"     \
    "vfmadd213pd %%zmm26, %%zmm24, %%zmm" #g "\n\t"     \
    "vfmadd213pd %%zmm27, %%zmm25, %%zmm" #a "\n\t"     \
    "vfmadd213pd %%zmm27, %%zmm25, %%zmm" #b "\n\t"     \
    "vfmadd213pd %%zmm27, %%zmm25, %%zmm" #c "\n\t"     \
    "vfmadd213pd %%zmm27, %%zmm25, %%zmm" #e "\n\t"     \
    "vfmadd213pd %%zmm27, %%zmm25, %%zmm" #f "\n\t"     \
    "vfmadd213pd %%zmm27, %%zmm25, %%zmm" #g "\n\t"
// One register of the iteration's 1,024 bytes, at copyOffset, to the other half of the work area.
#define FERROX_AVX512_COPY                               \
    "vmovapd (%[p], %[copyOffset]), %%zmm26\n\t"         \
    "vmovapd %%zmm26, (%[q], %[copyOffset])\n\t"

#define FERROX_AVX512_EACH(macro)                                                                                \
    macro(0) macro(1) macro(2) macro(3) macro(4) macro(5) macro(6) macro(7) macro(8) macro(9) macro(10) macro(11) \
    macro(12) macro(13) macro(14) macro(15) macro(16) macro(17) macro(18) macro(19) macro(20) macro(21)          \
    macro(22) macro(23)

namespace {

// See RunFmaKernelAssembly: no memory for the sanitizer to check outside the assembly.
__attribute__((target("avx512f"), no_sanitize("address")))
void RunAvx512KernelAssembly(Avx512KernelData* data, std::int64_t blocks) {
    std::uint32_t savedMxcsr = 0;
    std::int64_t sweeps = 0, halfIterations = 0, offset = 0, copyOffset = 0;
    double* p = nullptr;
    double* q = nullptr;
    asm volatile(
        "vstmxcsr %[savedMxcsr]\n\t"
        "vldmxcsr %[defaultMxcsr]\n\t"
        "vmovapd %c[multiplier](%[d]), %%zmm24\n\t"
        "vmovapd %c[inverse](%[d]), %%zmm25\n\t"
        "vpxor %%xmm0, %%xmm0, %%xmm0\n\t"
        FERROX_AVX512_EACH(FERROX_AVX512_ZERO_SUM)
        "1:\n\t"  // a block
        FERROX_AVX512_EACH(FERROX_AVX512_RESTORE)
        "mov %[blockSweeps], %[sweeps]\n"
        "2:\n\t"  // a sweep: read the first half, write the second, then the other way round
        "lea %c[table](%[d]), %[p]\n\t"
        "mov %[halfSweepBytes], %[offset]\n"
        "3:\n\t"
        "lea (%[p], %[offset]), %[q]\n\t"
        "mov %[halfSweepIterations], %[halfIterations]\n"
        "4:\n\t"  // an iteration: 16 loads, 96 FMAs, one register copied
        FERROX_AVX512_GROUP(0, 0, 1, 2, 3, 4, 5)
        FERROX_AVX512_GROUP(128, 6, 7, 8, 9, 10, 11)
        FERROX_AVX512_GROUP(256, 12, 13, 14, 15, 16, 17)
        FERROX_AVX512_GROUP(384, 18, 19, 20, 21, 22, 23)
        FERROX_AVX512_COPY
        FERROX_AVX512_GROUP(512, 0, 1, 2, 3, 4, 5)
        FERROX_AVX512_GROUP(640, 6, 7, 8, 9, 10, 11)
        FERROX_AVX512_GROUP(768, 12, 13, 14, 15, 16, 17)
        FERROX_AVX512_GROUP(896, 18, 19, 20, 21, 22, 23)
        "add $1024, %[p]\n\t"
        "add $1024, %[q]\n\t"
        "dec %[halfIterations]\n\t"
        "jnz 4b\n\t"
        "neg %[offset]\n\t"
        "js 3b\n\t"  // negative now: the second half is next
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
        "vzeroupper\n\t"
        "vldmxcsr %[savedMxcsr]\n\t"
        : [blocks] "+r"(blocks), [sweeps] "+r"(sweeps), [halfIterations] "+r"(halfIterations),
          [offset] "+r"(offset), [copyOffset] "+r"(copyOffset), [p] "+r"(p), [q] "+r"(q),
          [savedMxcsr] "+m"(savedMxcsr)
        : [d] "r"(data), [defaultMxcsr] "m"(kDefaultMxcsr),
          [start] "i"(offsetof(Avx512KernelData, start)), [end] "i"(offsetof(Avx512KernelData, end)),
          [sums] "i"(offsetof(Avx512KernelData, endSums)), [multiplier] "i"(offsetof(Avx512KernelData, multiplier)),
          [inverse] "i"(offsetof(Avx512KernelData, inverse)), [table] "i"(offsetof(Avx512KernelData, table)),
          [blockSweeps] "i"(Avx512KernelData::kBlockSweeps), [halfSweepBytes] "i"(kHalfSweepBytes),
          [halfSweepIterations] "i"(Avx512KernelData::kHalfSweepIterations)
        : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11",
          "xmm12", "xmm13", "xmm14", "xmm15", "xmm16", "xmm17", "xmm18", "xmm19", "xmm20", "xmm21", "xmm22",
          "xmm23", "xmm24", "xmm25", "xmm26", "xmm27", "cc", "memory");
}

}  // namespace

#undef FERROX_AVX512_EACH
#undef FERROX_AVX512_COPY
#undef FERROX_AVX512_GROUP
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
