// The AVX2 + FMA kernel: the pass in inline assembly, so the instruction sequence is exactly the
// one written here whatever the compiler and its options.

#include "load/fma_kernel.h"

#include <cstddef>
#include <cstdint>

#include "load/vector_support.h"

namespace {

// Round to nearest, every exception masked, no flush to zero: the arithmetic the digest assumes.
const std::uint32_t kDefaultMxcsr = 0x1F80;

constexpr std::int64_t kHalfSweepBytes = static_cast<std::int64_t>(FmaKernelData::kTableSlots) / 2 * FmaKernelData::kSlotBytes;
static_assert(FmaKernelData::kSlotBytes == 64 && FmaKernelData::kSlotsPerIteration == 16 &&
                  FmaKernelData::kChainsPerGroup == 3 && FmaKernelData::kIterationBytes == 1024,
              "the assembly reads sixteen 64-byte slots an iteration, each for three accumulators");

}  // namespace

// Accumulator k from its start value; after a block, into end and added to endSums.
#define FERROX_FMA_RESTORE(k) "vmovapd %c[start]+32*" #k "(%[d]), %%ymm" #k "\n\t"
#define FERROX_FMA_FOLD(k)                                          \
    "vmovapd %%ymm" #k ", %c[end]+32*" #k "(%[d])\n\t"              \
    "vpaddq %c[sums]+32*" #k "(%[d]), %%ymm" #k ", %%ymm" #k "\n\t" \
    "vmovdqa %%ymm" #k ", %c[sums]+32*" #k "(%[d])\n\t"
#define FERROX_FMA_ZERO_SUM(k) "vmovdqa %%ymm0, %c[sums]+32*" #k "(%[d])\n\t"

// One slot (addend at offset, undo at offset + 32) for accumulators a, b and c: ymm12 holds the
// multipliers, ymm13 their inverses.
#define FERROX_FMA_GROUP(offset, a, b, c)                \
    "vmovapd " #offset "(%[p]), %%ymm14\n\t"             \
    "vmovapd " #offset "+32(%[p]), %%ymm15\n\t"          \
    "vfmadd213pd %%ymm14, %%ymm12, %%ymm" #a "\n\t"      \
    "vfmadd213pd %%ymm14, %%ymm12, %%ymm" #b "\n\t"      \
    "vfmadd213pd %%ymm14, %%ymm12, %%ymm" #c "\n\t"      \
    "vfmadd213pd %%ymm15, %%ymm13, %%ymm" #a "\n\t"      \
    "vfmadd213pd %%ymm15, %%ymm13, %%ymm" #b "\n\t"      \
    "vfmadd213pd %%ymm15, %%ymm13, %%ymm" #c "\n\t"
// One register of the iteration's 1,024 bytes, at copyOffset, to the other half of the work area.
#define FERROX_FMA_COPY                                  \
    "vmovapd (%[p], %[copyOffset]), %%ymm14\n\t"         \
    "vmovapd %%ymm14, (%[q], %[copyOffset])\n\t"

#define FERROX_FMA_EACH(macro) \
    macro(0) macro(1) macro(2) macro(3) macro(4) macro(5) macro(6) macro(7) macro(8) macro(9) macro(10) macro(11)

namespace {

// The sanitizer has nothing to check here (all memory traffic is in the assembly), and leaving it
// out keeps its instrumentation away from the kernel.
__attribute__((target("avx2,fma"), no_sanitize("address")))
void RunFmaKernelAssembly(FmaKernelData* data, std::int64_t blocks) {
    std::uint32_t savedMxcsr = 0;
    std::int64_t sweeps = 0, halfIterations = 0, offset = 0, copyOffset = 0;
    double* p = nullptr;
    double* q = nullptr;
    asm volatile(
        "vstmxcsr %[savedMxcsr]\n\t"
        "vldmxcsr %[defaultMxcsr]\n\t"
        "vmovapd %c[multiplier](%[d]), %%ymm12\n\t"
        "vmovapd %c[inverse](%[d]), %%ymm13\n\t"
        "vpxor %%xmm0, %%xmm0, %%xmm0\n\t"
        FERROX_FMA_EACH(FERROX_FMA_ZERO_SUM)
        "1:\n\t"  // a block
        FERROX_FMA_EACH(FERROX_FMA_RESTORE)
        "mov %[blockSweeps], %[sweeps]\n"
        "2:\n\t"  // a sweep: read the first half, write the second, then the other way round
        "lea %c[table](%[d]), %[p]\n\t"
        "mov %[halfSweepBytes], %[offset]\n"
        "3:\n\t"
        "lea (%[p], %[offset]), %[q]\n\t"
        "mov %[halfSweepIterations], %[halfIterations]\n"
        "4:\n\t"  // an iteration: 32 loads, 96 FMAs, one register copied
        FERROX_FMA_GROUP(0, 0, 1, 2)
        FERROX_FMA_GROUP(64, 3, 4, 5)
        FERROX_FMA_GROUP(128, 6, 7, 8)
        FERROX_FMA_GROUP(192, 9, 10, 11)
        FERROX_FMA_GROUP(256, 0, 1, 2)
        FERROX_FMA_GROUP(320, 3, 4, 5)
        FERROX_FMA_GROUP(384, 6, 7, 8)
        FERROX_FMA_GROUP(448, 9, 10, 11)
        FERROX_FMA_COPY
        FERROX_FMA_GROUP(512, 0, 1, 2)
        FERROX_FMA_GROUP(576, 3, 4, 5)
        FERROX_FMA_GROUP(640, 6, 7, 8)
        FERROX_FMA_GROUP(704, 9, 10, 11)
        FERROX_FMA_GROUP(768, 0, 1, 2)
        FERROX_FMA_GROUP(832, 3, 4, 5)
        FERROX_FMA_GROUP(896, 6, 7, 8)
        FERROX_FMA_GROUP(960, 9, 10, 11)
        "add $1024, %[p]\n\t"
        "add $1024, %[q]\n\t"
        "dec %[halfIterations]\n\t"
        "jnz 4b\n\t"
        "neg %[offset]\n\t"
        "js 3b\n\t"  // negative now: the second half is next
        "add $32, %[copyOffset]\n\t"
        "and $1023, %[copyOffset]\n\t"
        "dec %[sweeps]\n\t"
        "jnz 2b\n\t"
        FERROX_FMA_EACH(FERROX_FMA_FOLD)
        "dec %[blocks]\n\t"
        "jnz 1b\n\t"
        "vzeroupper\n\t"
        "vldmxcsr %[savedMxcsr]\n\t"
        : [blocks] "+r"(blocks), [sweeps] "+r"(sweeps), [halfIterations] "+r"(halfIterations),
          [offset] "+r"(offset), [copyOffset] "+r"(copyOffset), [p] "+r"(p), [q] "+r"(q),
          [savedMxcsr] "+m"(savedMxcsr)
        : [d] "r"(data), [defaultMxcsr] "m"(kDefaultMxcsr),
          [start] "i"(offsetof(FmaKernelData, start)), [end] "i"(offsetof(FmaKernelData, end)),
          [sums] "i"(offsetof(FmaKernelData, endSums)), [multiplier] "i"(offsetof(FmaKernelData, multiplier)),
          [inverse] "i"(offsetof(FmaKernelData, inverse)), [table] "i"(offsetof(FmaKernelData, table)),
          [blockSweeps] "i"(FmaKernelData::kBlockSweeps), [halfSweepBytes] "i"(kHalfSweepBytes),
          [halfSweepIterations] "i"(FmaKernelData::kHalfSweepIterations)
        : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11",
          "xmm12", "xmm13", "xmm14", "xmm15", "cc", "memory");
}

}  // namespace

#undef FERROX_FMA_EACH
#undef FERROX_FMA_COPY
#undef FERROX_FMA_GROUP
#undef FERROX_FMA_ZERO_SUM
#undef FERROX_FMA_FOLD
#undef FERROX_FMA_RESTORE

void InitFmaKernelData(FmaKernelData* data) { InitVectorKernelData(data, 0x46455252'4F58464Dull); }

bool RunFmaKernelBlocks(FmaKernelData* data, int blocks) {
    // The check stays outside the assembly's function, whose own code may already use AVX.
    if (!CanRunFmaKernel()) return false;
    // The assembly's aligned loads and stores would fault on a misaligned work area.
    if (data == nullptr || reinterpret_cast<std::uintptr_t>(data) % alignof(FmaKernelData) != 0) return false;
    if (blocks > 0) RunFmaKernelAssembly(data, blocks);
    return true;
}

bool RunFmaKernelPass(FmaKernelData* data) { return RunFmaKernelBlocks(data, kFmaKernelPassBlocks); }

std::uint64_t FmaKernelDigest(const FmaKernelData& data) { return VectorKernelDigest(data); }
