// The AVX2 + FMA kernel: the pass in inline assembly, so the instruction sequence is exactly the
// one written here whatever the compiler and its options.

#include "load/fma_kernel.h"

#include <cstddef>
#include <cstdint>

#include "load/vector_support.h"

namespace {

// Round to nearest, every exception masked, no flush to zero: the arithmetic the digest assumes.
const std::uint32_t kDefaultMxcsr = 0x1F80;

static_assert(FmaKernelData::kSlotBytes == 32 && FmaKernelData::kSlotsPerIteration == 32 &&
                  FmaKernelData::kChainsPerGroup == 3 && FmaKernelData::kBundleSlots == 2 &&
                  FmaKernelData::kIterationBytes == 1024,
              "the assembly reads thirty-two 32-byte slots an iteration, two at a time, each for three accumulators");

}  // namespace

// Accumulator k from its start value; after a block, into end and added to endSums.
#define FERROX_FMA_RESTORE(k) "vmovapd %c[start]+32*" #k "(%[d]), %%ymm" #k "\n\t"
#define FERROX_FMA_FOLD(k)                                          \
    "vmovapd %%ymm" #k ", %c[end]+32*" #k "(%[d])\n\t"              \
    "vpaddq %c[sums]+32*" #k "(%[d]), %%ymm" #k ", %%ymm" #k "\n\t" \
    "vmovdqa %%ymm" #k ", %c[sums]+32*" #k "(%[d])\n\t"
#define FERROX_FMA_ZERO_SUM(k) "vmovdqa %%ymm0, %c[sums]+32*" #k "(%[d])\n\t"

// One step of accumulator a with the addend in ymm c: a = a * multipliers (ymm12) + addend.
#define FERROX_FMA_STEP(c, a) "vfmadd213pd %%ymm" #c ", %%ymm12, %%ymm" #a "\n\t"
// Two slots (at offset and offset + 32) for the two groups whose accumulators are a0-a2 and b0-b2,
// their steps alternating between the groups.
#define FERROX_FMA_PAIR(offset, a0, a1, a2, b0, b1, b2) \
    "vmovapd " #offset "(%[p]), %%ymm13\n\t"            \
    "vmovapd " #offset "+32(%[p]), %%ymm14\n\t"         \
    FERROX_FMA_STEP(13, a0) FERROX_FMA_STEP(14, b0)     \
    FERROX_FMA_STEP(13, a1) FERROX_FMA_STEP(14, b1)     \
    FERROX_FMA_STEP(13, a2) FERROX_FMA_STEP(14, b2)
// Groups 0 and 1 (ymm0-5), then groups 2 and 3 (ymm6-11).
#define FERROX_FMA_QUAD(offset) FERROX_FMA_PAIR(offset, 0, 1, 2, 3, 4, 5) FERROX_FMA_PAIR(offset + 64, 6, 7, 8, 9, 10, 11)
// The register of the iteration's 1,024 bytes at copyOffset, read and written back in place.
#define FERROX_FMA_WRITE_BACK                            \
    "vmovapd (%[p], %[copyOffset]), %%ymm15\n\t"         \
    "vmovapd %%ymm15, (%[p], %[copyOffset])\n\t"

#define FERROX_FMA_EACH(macro) \
    macro(0) macro(1) macro(2) macro(3) macro(4) macro(5) macro(6) macro(7) macro(8) macro(9) macro(10) macro(11)

namespace {

// The sanitizer has nothing to check here (all memory traffic is in the assembly), and leaving it
// out keeps its instrumentation away from the kernel.
__attribute__((target("avx2,fma"), no_sanitize("address")))
void RunFmaKernelAssembly(FmaKernelData* data, std::int64_t blocks) {
    std::uint32_t savedMxcsr = 0;
    std::int64_t sweeps = 0, iterations = 0, copyOffset = 0;
    double* p = nullptr;
    asm volatile(
        "vstmxcsr %[savedMxcsr]\n\t"
        "vldmxcsr %[defaultMxcsr]\n\t"
        "vmovapd %c[multiplier](%[d]), %%ymm12\n\t"
        "vpxor %%xmm0, %%xmm0, %%xmm0\n\t"
        FERROX_FMA_EACH(FERROX_FMA_ZERO_SUM)
        "1:\n\t"  // a block
        FERROX_FMA_EACH(FERROX_FMA_RESTORE)
        "mov %[blockSweeps], %[sweeps]\n"
        "2:\n\t"  // a sweep of the work area
        "lea %c[table](%[d]), %[p]\n\t"
        "mov %[sweepIterations], %[iterations]\n"
        "3:\n\t"  // an iteration: 32 slots, 96 FMAs, one register written back
        FERROX_FMA_QUAD(0) FERROX_FMA_QUAD(128) FERROX_FMA_QUAD(256) FERROX_FMA_QUAD(384)
        FERROX_FMA_WRITE_BACK
        FERROX_FMA_QUAD(512) FERROX_FMA_QUAD(640) FERROX_FMA_QUAD(768) FERROX_FMA_QUAD(896)
        "add $1024, %[p]\n\t"
        "dec %[iterations]\n\t"
        "jnz 3b\n\t"
        "add $32, %[copyOffset]\n\t"
        "and $1023, %[copyOffset]\n\t"
        "dec %[sweeps]\n\t"
        "jnz 2b\n\t"
        FERROX_FMA_EACH(FERROX_FMA_FOLD)
        "dec %[blocks]\n\t"
        "jnz 1b\n\t"
        "vzeroupper\n\t"
        "vldmxcsr %[savedMxcsr]\n\t"
        : [blocks] "+r"(blocks), [sweeps] "+r"(sweeps), [iterations] "+r"(iterations),
          [copyOffset] "+r"(copyOffset), [p] "+r"(p), [savedMxcsr] "+m"(savedMxcsr)
        : [d] "r"(data), [defaultMxcsr] "m"(kDefaultMxcsr),
          [start] "i"(offsetof(FmaKernelData, start)), [end] "i"(offsetof(FmaKernelData, end)),
          [sums] "i"(offsetof(FmaKernelData, endSums)), [multiplier] "i"(offsetof(FmaKernelData, multiplier)),
          [table] "i"(offsetof(FmaKernelData, table)), [blockSweeps] "i"(FmaKernelData::kBlockSweeps),
          [sweepIterations] "i"(FmaKernelData::kSweepIterations)
        : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11",
          "xmm12", "xmm13", "xmm14", "xmm15", "cc", "memory");
}

}  // namespace

#undef FERROX_FMA_EACH
#undef FERROX_FMA_WRITE_BACK
#undef FERROX_FMA_QUAD
#undef FERROX_FMA_PAIR
#undef FERROX_FMA_STEP
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
