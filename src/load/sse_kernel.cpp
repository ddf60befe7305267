// The SSE kernel: x87 arithmetic, SSE scalar multiplies, integer operations, never-taken branches
// and scattered loads and stores over a 256 KiB work area, 16 groups per iteration.

#include "load/sse_kernel.h"

#include <cstring>


namespace {

// The six doubles of the work area, as bit patterns: P and R about 1.1945e103, Q and S about
// -3.7207e-103.
constexpr std::uint64_t kPatternP = 0x55555555FFDD5555ull;
constexpr std::uint64_t kPatternQ = 0xAAAAAAAA7FEAAAAAull;
constexpr std::uint64_t kPatternR = 0x5555555500155555ull;
constexpr std::uint64_t kPatternS = 0xAAAAAAAAFFDAAAAAull;

constexpr std::uint32_t kVector0[4] = {0xAAAAAAAAu, 0xAAAAAAAAu, 0x55555555u, 0x00D55555u};
constexpr std::uint32_t kVector1[4] = {0x55555555u, 0x55555555u, 0xAAAAAAAAu, 0x00AAAAAAu};

// Iterations per block: the block counter is spent and shifted after each block.
constexpr std::int64_t kBlockIterations = 4096;

void StorePattern(double* slot, std::uint64_t pattern) { std::memcpy(slot, &pattern, sizeof(pattern)); }

}  // namespace

void InitSseKernelData(double* workArea, std::uint32_t* v0, std::uint32_t* v1) {
    for (int i = 0; i < kSseWorkAreaDoubles; ++i) workArea[i] = 0.0;
    std::memcpy(v0, kVector0, sizeof(kVector0));
    std::memcpy(v1, kVector1, sizeof(kVector1));
    StorePattern(&workArea[0], kPatternP);
    StorePattern(&workArea[2], kPatternQ);
    StorePattern(&workArea[4], kPatternQ);
    StorePattern(&workArea[8184], kPatternP);
    StorePattern(&workArea[32762], kPatternR);
    StorePattern(&workArea[32764], kPatternS);
}

// One group of kind 0-3: the x87 operation on the top (result dropped), the SSE register squared,
// the copy source and destination, and the refill (byte offsets in the work area: w[2] = 16,
// w[4] = 32, w[6] = 48, w[8184] = 65472, w[32762] = 262096, w[32764] = 262112). The assembler's
// AT&T spelling swaps the reversed subtractions: "fsubrp" here is Intel's FSUBP ST(0), ST (DE E8).
#define FERROX_SSE_GROUP_HEAD(x87op, xmm, source, destination) \
    "and %k[g1], %k[g1]\n\t"                                   \
    x87op " %%st, %%st(0)\n\t"                                 \
    "mulss %%" xmm ", %%" xmm "\n\t"                           \
    "fldl " source "(%[w])\n\t"                                \
    "fstpl " destination "(%[w])\n\t"
#define FERROX_SSE_GROUP(x87op, xmm, source, destination, refill) \
    FERROX_SSE_GROUP_HEAD(x87op, xmm, source, destination)        \
    "or %k[g2], %k[g2]\n\t"                                       \
    "fldl " refill "(%[w])\n\t"                                   \
    "jz 3f\n"                                                     \
    "3:\n\t"
#define FERROX_SSE_KIND0 FERROX_SSE_GROUP("faddp", "xmm2", "32", "48", "262096")
#define FERROX_SSE_KIND1 FERROX_SSE_GROUP("fmulp", "xmm7", "16", "65472", "262112")
#define FERROX_SSE_KIND2 FERROX_SSE_GROUP("fsubrp", "xmm3", "32", "48", "262096")
#define FERROX_SSE_KIND3 FERROX_SSE_GROUP("fmulp", "xmm0", "16", "65472", "262112")
#define FERROX_SSE_FOUR_GROUPS FERROX_SSE_KIND0 FERROX_SSE_KIND1 FERROX_SSE_KIND2 FERROX_SSE_KIND3

// The address sanitizer has nothing to check here (all memory traffic is in the assembly), and
// leaving it out keeps its instrumentation away from the kernel's fixed instruction sequence.
__attribute__((no_sanitize("address")))
void RunSseKernelPass(double* workArea, const std::uint32_t* v0, const std::uint32_t* v1,
                      std::int64_t iterations) {
    if (workArea == nullptr || v0 == nullptr || v1 == nullptr || iterations <= 0) return;
    std::int64_t remaining = iterations;
    std::int64_t block = 0;
    std::uint32_t g1 = 0, g2 = 0;
    asm volatile(
        "movaps (%[v0]), %%xmm0\n\t"
        "movaps (%[v1]), %%xmm1\n\t"
        "movaps (%[v0]), %%xmm2\n\t"
        "movaps (%[v1]), %%xmm3\n\t"
        "movaps (%[v0]), %%xmm4\n\t"
        "movaps (%[v1]), %%xmm5\n\t"
        "movaps (%[v0]), %%xmm6\n\t"
        "movaps (%[v1]), %%xmm7\n\t"
        "mov $0xFFFFFFFE, %k[g1]\n\t"
        "mov $0xFFFFFFFE, %k[g2]\n\t"
        "fldl 16(%[w])\n\t"      // w[2]: the bottom entry, never touched again
        "fldl 262112(%[w])\n\t"  // w[32764]
        "mulss %%xmm0, %%xmm0\n"
        "1:\n\t"                 // next block
        "test %[remaining], %[remaining]\n\t"
        "jz 4f\n\t"
        "mov $4096, %[block]\n\t"
        "cmp %[block], %[remaining]\n\t"
        "cmovb %[remaining], %[block]\n\t"
        "sub %[block], %[remaining]\n"
        "2:\n\t"                 // the body: groups 0-15
        FERROX_SSE_FOUR_GROUPS
        FERROX_SSE_FOUR_GROUPS
        FERROX_SSE_FOUR_GROUPS
        FERROX_SSE_KIND0 FERROX_SSE_KIND1 FERROX_SSE_KIND2
        FERROX_SSE_GROUP_HEAD("fmulp", "xmm0", "16", "65472")
        "dec %[block]\n\t"
        "fldl 262112(%[w])\n\t"
        "jnz 2b\n\t"
        "shl $1, %[block]\n\t"
        "jz 3f\n"
        "3:\n\t"
        "jmp 1b\n"
        "4:\n\t"
        "fstp %%st(0)\n\t"
        "fstp %%st(0)\n\t"
        : [remaining] "+r"(remaining), [block] "+r"(block), [g1] "+r"(g1), [g2] "+r"(g2)
        : [w] "r"(workArea), [v0] "r"(v0), [v1] "r"(v1)
        : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "st", "st(1)", "st(2)", "st(3)",
          "st(4)", "st(5)", "st(6)", "st(7)", "cc", "memory");
    static_assert(kBlockIterations == 4096, "the block length is written into the assembly");
}

#undef FERROX_SSE_FOUR_GROUPS
#undef FERROX_SSE_KIND0
#undef FERROX_SSE_KIND1
#undef FERROX_SSE_KIND2
#undef FERROX_SSE_KIND3
#undef FERROX_SSE_GROUP
#undef FERROX_SSE_GROUP_HEAD

std::uint64_t SseWorkAreaDigest(const double* workArea) {
    // Each word times an odd number of its own: a change in any one word always changes the sum,
    // and the sum runs without a chain from word to word.
    std::uint64_t digest = 0;
    for (int i = 0; i < kSseWorkAreaDoubles; ++i) {
        std::uint64_t bits;
        std::memcpy(&bits, &workArea[i], sizeof bits);
        digest += bits * (2 * static_cast<std::uint64_t>(i) + 1);
    }
    return digest;
}

std::uint64_t ReferenceSseWorkAreaDigest() {
    static double workArea[kSseWorkAreaDoubles];
    std::uint32_t v0[4], v1[4];
    InitSseKernelData(workArea, v0, v1);
    // What every pass does to memory: w[4] is copied to w[6], and w[2] to w[8184].
    std::memcpy(&workArea[6], &workArea[4], sizeof(double));
    std::memcpy(&workArea[8184], &workArea[2], sizeof(double));
    return SseWorkAreaDigest(workArea);
}

bool SseLoadKernel::InjectWrongBit(WrongBitPlace place, int bit) {
    double& word = m_workArea[place == WrongBitPlace::KernelState ? 32762 : 100];
    std::uint64_t pattern = 0;
    std::memcpy(&pattern, &word, sizeof pattern);
    pattern ^= std::uint64_t{1} << bit;
    std::memcpy(&word, &pattern, sizeof pattern);
    return true;
}
