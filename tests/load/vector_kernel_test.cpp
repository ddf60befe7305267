// The wide-vector kernels against their plain C++ reference and the digest constants.

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cpuid.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "load/avx512_kernel.h"
#include "load/fma_kernel.h"
#include "load/vector_kernel_reference.h"
#include "load/vector_support.h"

namespace {

struct FmaKernel {
    using Data = FmaKernelData;
    static constexpr const char* kName = "AVX2 + FMA";
    static constexpr std::uint64_t kDigest = kFmaKernelPassDigest;
    static constexpr std::int64_t kPassIterations = kFmaKernelPassIterations;
    static constexpr int kPassBlocks = kFmaKernelPassBlocks;
    static constexpr double kSlowestClockHz = 2.0e9;
    static bool CanRun() { return CanRunFmaKernel(); }
    static void Init(Data* data) { InitFmaKernelData(data); }
    static bool RunPass(Data* data) { return RunFmaKernelPass(data); }
    static bool RunBlocks(Data* data, int blocks) { return RunFmaKernelBlocks(data, blocks); }
    static std::uint64_t Digest(const Data& data) { return FmaKernelDigest(data); }
    static std::uint64_t ReferenceDigest() { return ReferenceFmaKernelDigest(); }
};

struct Avx512Kernel {
    using Data = Avx512KernelData;
    static constexpr const char* kName = "AVX-512";
    static constexpr std::uint64_t kDigest = kAvx512KernelPassDigest;
    static constexpr std::int64_t kPassIterations = kAvx512KernelPassIterations;
    static constexpr int kPassBlocks = kAvx512KernelPassBlocks;
    // Heavy AVX-512 use lowers some Intel server cores' clock this far.
    static constexpr double kSlowestClockHz = 1.6e9;
    static bool CanRun() { return CanRunAvx512Kernel(); }
    static void Init(Data* data) { InitAvx512KernelData(data); }
    static bool RunPass(Data* data) { return RunAvx512KernelPass(data); }
    static bool RunBlocks(Data* data, int blocks) { return RunAvx512KernelBlocks(data, blocks); }
    static std::uint64_t Digest(const Data& data) { return Avx512KernelDigest(data); }
    static std::uint64_t ReferenceDigest() { return ReferenceAvx512KernelDigest(); }
};

template <class Kernel>
std::unique_ptr<typename Kernel::Data> MakeData() {
    auto data = std::make_unique<typename Kernel::Data>();
    Kernel::Init(data.get());
    return data;
}

// Every word the digest covers, compared one by one, so a failure names the word that differs.
template <class Data>
void ExpectSameEndState(const Data& got, const Data& expected) {
    int differences = 0;
    auto compare = [&](const char* what, const void* a, const void* b, std::size_t size) {
        for (std::size_t word = 0; word < size / 8; ++word) {
            std::uint64_t x, y;
            std::memcpy(&x, static_cast<const char*>(a) + 8 * word, 8);
            std::memcpy(&y, static_cast<const char*>(b) + 8 * word, 8);
            if (x != y && ++differences <= 5)
                ADD_FAILURE() << what << " word " << word << ": " << std::hex << x << ", expected " << y;
        }
    };
    compare("end", got.end, expected.end, sizeof(got.end));
    compare("endSums", got.endSums, expected.endSums, sizeof(got.endSums));
    compare("table", got.table, expected.table, sizeof(got.table));
    EXPECT_EQ(differences, 0);
}

// XINUSE (XGETBV with ECX = 1) bit 2: the upper halves of the YMM registers hold something.
bool UpperHalvesInUse(bool* known) {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    *known = __get_cpuid_count(0xD, 1, &eax, &ebx, &ecx, &edx) && (eax & 4u) != 0;
    if (!*known) return false;
    unsigned low = 0, high = 0;
    asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(1u));
    return (low & 4u) != 0;
}

template <class Kernel>
class VectorKernelTest : public testing::Test {};

using Kernels = testing::Types<FmaKernel, Avx512Kernel>;
TYPED_TEST_SUITE(VectorKernelTest, Kernels);

}  // namespace

TYPED_TEST(VectorKernelTest, ReferenceGivesTheConstantAndKeepsEveryValueInOneBinade) {
    EXPECT_EQ(TypeParam::ReferenceDigest(), TypeParam::kDigest)
        << std::hex << TypeParam::ReferenceDigest() << ": the kernel's arithmetic changed; a new constant needs the "
        << "real kernel's agreement on hardware that has it";
    auto data = MakeData<TypeParam>();
    const VectorKernelReferenceStats stats = RunVectorKernelReference(data.get(), TypeParam::kPassBlocks);
    // What the proof that no wrong bit is rounded away rests on: every accumulator within the
    // filling's bounds, every addend between 1 and 2 (one binade, spacing 2^-52), and every sweep
    // back where it started.
    EXPECT_TRUE(stats.allNormal);
    EXPECT_GE(stats.smallestMagnitude, kVectorKernelLowestState);
    EXPECT_LE(stats.largestMagnitude, kVectorKernelHighestState);
    EXPECT_TRUE(stats.addendsInOneBinade);
    EXPECT_TRUE(stats.sweepsReturnToStart);
    for (int lane = 0; lane < TypeParam::Data::kLanes; ++lane) {
        EXPECT_GT(data->multiplier[lane], 1.75) << "a step must widen every difference by more than one unit";
        EXPECT_LT(data->multiplier[lane], 2.0);
    }
    // Successive results differ in many bits: the units toggle, nothing settles to a fixed point.
    EXPECT_GE(stats.meanFlippedBits, 20.0);
    // The digest covers the work area: one bit of its last word changes it.
    const std::uint64_t digest = TypeParam::Digest(*data);
    data->table[TypeParam::Data::kTableSlots - 1][TypeParam::Data::kLanes - 1] *= -1;
    EXPECT_NE(TypeParam::Digest(*data), digest);
}

TYPED_TEST(VectorKernelTest, PassesMatchTheReferenceWhateverTheCallersMxcsr) {
    auto data = MakeData<TypeParam>();
    if (!TypeParam::CanRun()) {
        const std::uint64_t before = TypeParam::Digest(*data);
        EXPECT_FALSE(TypeParam::RunPass(data.get()));
        EXPECT_EQ(TypeParam::Digest(*data), before) << "a kernel that cannot run must not start";
        GTEST_SKIP() << "this processor or system cannot run the " << TypeParam::kName << " kernel";
    }
    auto expected = MakeData<TypeParam>();
    RunVectorKernelReference(expected.get(), TypeParam::kPassBlocks);

    ASSERT_TRUE(TypeParam::RunPass(data.get()));
    ExpectSameEndState(*data, *expected);
    EXPECT_EQ(TypeParam::Digest(*data), TypeParam::kDigest);

    // Later passes start from where the last one left the data, under a caller that rounds toward
    // zero and flushes denormals: the kernel sets its own MXCSR and gives the caller's back.
    const unsigned callerMxcsr = _mm_getcsr();
    const unsigned towardZeroFlushing = (callerMxcsr & ~0x6000u) | 0x6000u | 0x8040u;
    for (int pass = 0; pass < 2; ++pass) {
        _mm_setcsr(towardZeroFlushing);
        const bool ran = TypeParam::RunPass(data.get());
        const unsigned after = _mm_getcsr();
        _mm_setcsr(callerMxcsr);
        ASSERT_TRUE(ran);
        EXPECT_EQ(after, towardZeroFlushing) << "pass " << pass;
        EXPECT_EQ(TypeParam::Digest(*data), TypeParam::kDigest) << "pass " << pass;
    }
    bool known = false;
    ASSERT_TRUE(TypeParam::RunPass(data.get()));
    const bool dirty = UpperHalvesInUse(&known);
    if (known) {
        EXPECT_FALSE(dirty) << "the pass must end with vzeroupper";
    }
}

// The real kernel with every bit of an accumulator's start value, then of a work-area word, wrong
// in turn (two blocks each): the digest must differ from the reference's every time. The wrong
// word is never repaired: it is still there after the blocks.
TYPED_TEST(VectorKernelTest, EveryWrongBitOfAStartValueOrAWorkAreaWordChangesTheDigest) {
    if (!TypeParam::CanRun()) GTEST_SKIP() << "this processor or system cannot run the " << TypeParam::kName << " kernel";
    using Data = typename TypeParam::Data;
    constexpr int kBlocks = 2;
    auto expected = MakeData<TypeParam>();
    RunVectorKernelReference(expected.get(), kBlocks);
    const std::uint64_t expectedDigest = TypeParam::Digest(*expected);
    auto data = MakeData<TypeParam>();
    auto pristine = MakeData<TypeParam>();
    int missed = 0;
    for (int where = 0; where < 2; ++where) {
        for (int bit = 0; bit < 64; ++bit) {
            std::memcpy(static_cast<void*>(data.get()), pristine.get(), sizeof(Data));
            // The last accumulator's last lane; the last slot, read at the very end of each sweep.
            double& word = where == 0 ? data->start[Data::kChains - 1][Data::kLanes - 1]
                                      : data->table[Data::kTableSlots - 1][bit % Data::kLanes];
            word = FlipBit(word, bit);
            const double wrongWord = word;
            ASSERT_TRUE(TypeParam::RunBlocks(data.get(), kBlocks));
            if (TypeParam::Digest(*data) == expectedDigest && ++missed <= 5)
                ADD_FAILURE() << (where == 0 ? "start value" : "work-area word") << " bit " << bit << " went unseen";
            if (where == 1) {
                EXPECT_EQ(std::memcmp(&word, &wrongWord, sizeof word), 0) << "bit " << bit << ": repaired";
            }
        }
    }
    EXPECT_EQ(missed, 0);
}

TYPED_TEST(VectorKernelTest, MisalignedOrMissingDataRunsNothing) {
    // A 64-byte aligned buffer with room for the data one double further on.
    auto buffer = std::make_unique<typename TypeParam::Data[]>(2);
    auto* shifted = reinterpret_cast<typename TypeParam::Data*>(reinterpret_cast<char*>(buffer.get()) + 8);
    EXPECT_FALSE(TypeParam::RunPass(shifted));
    EXPECT_FALSE(TypeParam::RunPass(nullptr));
}

TYPED_TEST(VectorKernelTest, PassIsShortAndDataFitsAWorkersStack) {
    using Data = typename TypeParam::Data;
    // At one FMA instruction a cycle (half the usual units) and a slow clock, a pass still ends
    // within the 100 ms in which a quit or a setting change must take effect; at two a cycle and
    // 5 GHz it is still long enough that checking the queue and the digest between passes costs
    // little.
    const double fmas = static_cast<double>(TypeParam::kPassIterations) * Data::kFmasPerIteration;
    EXPECT_LE(fmas / TypeParam::kSlowestClockHz, 0.100) << TypeParam::kName;
    EXPECT_GE(fmas / 2 / 5.0e9, 0.005) << TypeParam::kName;
    EXPECT_EQ(TypeParam::kPassIterations, static_cast<std::int64_t>(TypeParam::kPassBlocks) * Data::kBlockIterations);
    // Worker stacks are 4 MiB; the data stays well inside.
    EXPECT_LE(sizeof(Data), 256u * 1024);
    EXPECT_EQ(alignof(Data), 64u);
}
