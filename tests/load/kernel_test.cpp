// One pass of each kernel: its memory traffic, its matrices, and the empty x87 stack it leaves.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "load/sse_kernel.h"
#include "load/x87_kernel.h"
#include "x87_state.h"

namespace {

constexpr std::uint64_t kP = 0x55555555FFDD5555ull;
constexpr std::uint64_t kQ = 0xAAAAAAAA7FEAAAAAull;
constexpr std::uint64_t kR = 0x5555555500155555ull;
constexpr std::uint64_t kS = 0xAAAAAAAAFFDAAAAAull;

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// The work area's 2048-byte alignment through aligned operator new: Windows' C library has no
// std::aligned_alloc.
constexpr std::align_val_t kWorkAreaAlignment{2048};

struct AlignedDeleter {
    void operator()(double* memory) const { ::operator delete(memory, kWorkAreaAlignment); }
};

struct SseData {
    std::unique_ptr<double, AlignedDeleter> workArea{
        static_cast<double*>(::operator new(kSseWorkAreaDoubles * sizeof(double), kWorkAreaAlignment))};
    alignas(16) std::uint32_t v0[4];
    alignas(16) std::uint32_t v1[4];

    SseData() { InitSseKernelData(workArea.get(), v0, v1); }
    double* w() { return workArea.get(); }
};

// Every double of the work area by its expected bit pattern: zero except the listed ones.
void ExpectWorkArea(double* w, std::uint64_t at8184, std::uint64_t at6) {
    int unexpected = 0;
    for (int i = 0; i < kSseWorkAreaDoubles; ++i) {
        std::uint64_t expected = 0;
        switch (i) {
            case 0: expected = kP; break;
            case 2: case 4: expected = kQ; break;
            case 6: expected = at6; break;
            case 8184: expected = at8184; break;
            case 32762: expected = kR; break;
            case 32764: expected = kS; break;
            default: break;
        }
        if (Bits(w[i]) != expected && ++unexpected <= 5) ADD_FAILURE() << "w[" << i << "] = " << std::hex << Bits(w[i]);
    }
}

}  // namespace

TEST(SseKernelTest, SetUpFillsTheWorkAreaAndTheVectors) {
    SseData data;
    ExpectWorkArea(data.w(), kP, 0);
    const std::uint32_t v0[4] = {0xAAAAAAAAu, 0xAAAAAAAAu, 0x55555555u, 0x00D55555u};
    const std::uint32_t v1[4] = {0x55555555u, 0x55555555u, 0xAAAAAAAAu, 0x00AAAAAAu};
    EXPECT_EQ(std::memcmp(data.v0, v0, sizeof(v0)), 0);
    EXPECT_EQ(std::memcmp(data.v1, v1, sizeof(v1)), 0);
}

TEST(SseKernelTest, PassCopiesTheTwoDoublesAndLeavesTheX87StackEmpty) {
    ASSERT_EQ(ReadX87TagWord(), 0xFFFF);
    ASSERT_NE(ReadX87TagWordWithOneEntry(), 0xFFFF) << "the tag word read must see a pushed value";
    // Partial last block and a full one: 4096 + 4096 + 3 iterations.
    SseData data;
    RunSseKernelPass(data.w(), data.v0, data.v1, 8195);
    EXPECT_EQ(ReadX87TagWord(), 0xFFFF);
    // w[4] -> w[6] and w[2] -> w[8184]; nothing else written.
    ExpectWorkArea(data.w(), kQ, kQ);
}

TEST(SseKernelTest, FullPassLeavesTheX87StackEmpty) {
    SseData data;
    RunSseKernelPass(data.w(), data.v0, data.v1, kSsePassIterations);
    EXPECT_EQ(ReadX87TagWord(), 0xFFFF);
    ExpectWorkArea(data.w(), kQ, kQ);
}

TEST(SseKernelTest, NoIterationsOrNoDataDoNothing) {
    SseData data;
    RunSseKernelPass(data.w(), data.v0, data.v1, 0);
    RunSseKernelPass(data.w(), data.v0, data.v1, -5);
    RunSseKernelPass(nullptr, data.v0, data.v1, 100);
    EXPECT_EQ(ReadX87TagWord(), 0xFFFF);
    ExpectWorkArea(data.w(), kP, 0);
}

TEST(X87KernelTest, MatricesRowZero) {
    Matrix4 a;
    Matrix4 b;
    BuildX87KernelMatrices(&a, &b);
    const float expectedA[4] = {0.8288f, 0.4632f, -0.3056f, 0.0f};
    const float expectedB[4] = {65.54f, -13.11f, 23.93f, 0.0f};
    for (int column = 0; column < 4; ++column) {
        EXPECT_NEAR(a.m[0][column], expectedA[column], 0.00006f) << column;
        EXPECT_NEAR(b.m[0][column], expectedB[column], 0.006f) << column;
    }
}

TEST(X87KernelTest, PassesLeaveTheX87StackEmpty) {
    Matrix4 a;
    Matrix4 b;
    BuildX87KernelMatrices(&a, &b);
    const std::int32_t step = 1;
    for (const std::int32_t iterations : {1, 2, 1000, kX87PassIterations}) {
        RunX87KernelPass(a, b, &iterations, &step);
        EXPECT_EQ(ReadX87TagWord(), 0xFFFF) << iterations;
    }
    const std::int32_t two = 2;
    const std::int32_t even = 1000;
    RunX87KernelPass(a, b, &even, &two);
    EXPECT_EQ(ReadX87TagWord(), 0xFFFF);
}

TEST(X87KernelTest, CounterThatCannotReachZeroRunsNothing) {
    Matrix4 a;
    Matrix4 b;
    BuildX87KernelMatrices(&a, &b);
    const std::int32_t odd = 1001, two = 2, zero = 0, negative = -4;
    // Each of these would loop through the whole 32-bit range: they must return at once.
    RunX87KernelPass(a, b, &odd, &two);
    RunX87KernelPass(a, b, &odd, &zero);
    RunX87KernelPass(a, b, &negative, &two);
    RunX87KernelPass(a, b, &odd, nullptr);
    RunX87KernelPass(a, b, nullptr, &two);
    EXPECT_EQ(ReadX87TagWord(), 0xFFFF);
}
