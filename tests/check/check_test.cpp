// The check parts against their constants and references, the suite's verdict, and fault
// injection.

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cstdint>
#include <memory>
#include <string>

#include "check/check_digests.h"
#include "check/check_parts.h"
#include "check/check_reference.h"
#include "check/check_suite.h"
#include "check/fault_injection.h"

namespace {

struct PartCase {
    CheckPart part;
    std::uint64_t constant;
    std::uint64_t (*reference)();
    std::uint64_t (*run)(std::uint64_t* area);
};

const PartCase kParts[] = {
    {CheckPart::X87Chain, kX87ChainDigest, ReferenceX87ChainDigest, [](std::uint64_t*) { return RunX87Chain(); }},
    {CheckPart::Sse2Scalar, kSse2ScalarDigest, ReferenceSse2ScalarDigest,
     [](std::uint64_t*) { return RunSse2ScalarChain(); }},
    {CheckPart::Sse2Packed, kSse2PackedDigest, ReferenceSse2PackedDigest,
     [](std::uint64_t*) { return RunSse2PackedChain(); }},
    {CheckPart::IntegerMix, kIntegerMixDigest, ReferenceIntegerMixDigest,
     [](std::uint64_t*) { return RunIntegerMix(); }},
    {CheckPart::MemoryPattern, kMemoryPatternDigest, ReferenceMemoryPatternDigest, RunMemoryPattern},
};

std::unique_ptr<std::uint64_t[]> NewArea() { return std::make_unique<std::uint64_t[]>(kCheckAreaWords); }

std::uint16_t X87ControlWord() {
    std::uint16_t control = 0;
    asm volatile("fnstcw %0" : "=m"(control));
    return control;
}

void SetX87ControlWord(std::uint16_t control) { asm volatile("fldcw %0" : : "m"(control)); }

}  // namespace

TEST(CheckParts, EveryDigestIsItsReferenceAndThisProcessorComputesIt) {
    auto area = NewArea();
    for (const PartCase& c : kParts) {
        EXPECT_EQ(c.constant, c.reference()) << CheckPartName(c.part) << ": constant and reference differ";
        EXPECT_EQ(c.run(area.get()), c.constant) << CheckPartName(c.part);
    }
}

// A thread may run with another rounding mode or x87 precision (the renderer changes the SSE
// rounding mode inside its draws): the parts set their own and put the caller's back.
TEST(CheckParts, CallersRoundingAndPrecisionNeitherChangeNorLeak) {
    const std::uint16_t savedControl = X87ControlWord();
    const unsigned savedCsr = _mm_getcsr();
    const std::uint16_t doublePrecisionTowardZero = 0x0E7F;
    const unsigned towardZero = 0x7F80;
    SetX87ControlWord(doublePrecisionTowardZero);
    _mm_setcsr(towardZero);
    auto area = NewArea();
    CheckFailure failure;
    const bool passed = RunCheckSuite(area.get(), &failure);
    const std::uint16_t controlAfter = X87ControlWord();
    const unsigned csrAfter = _mm_getcsr();
    SetX87ControlWord(savedControl);
    _mm_setcsr(savedCsr);
    EXPECT_TRUE(passed) << CheckPartName(failure.part);
    EXPECT_EQ(controlAfter, doublePrecisionTowardZero);
    EXPECT_EQ(csrAfter & 0xFFC0u, towardZero & 0xFFC0u);  // the flags (bits 0-5) may have been raised
}

TEST(CheckSuite, InjectedFaultFailsOnlyTheChosenProcessorsCheckAfterItsCount) {
    FaultInjector injector(FaultPlan{1, 2});
    auto area = NewArea();
    const int processors[] = {0, 1, 1, 0, 1, 1, 1};
    const bool passes[] = {true, true, true, true, false, true, true};
    for (int i = 0; i < 7; ++i) {
        CheckFailure failure;
        EXPECT_EQ(RunCheckSuite(area.get(), &failure, &injector, processors[i]), passes[i]) << "check " << i;
        if (!passes[i]) {
            EXPECT_EQ(failure.part, CheckPart::X87Chain);
            EXPECT_EQ(failure.expected, kX87ChainDigest);
            EXPECT_EQ(failure.obtained ^ failure.expected, 1u) << "one flipped bit";
        }
    }
}

TEST(FaultInjection, ParsesWhatIsDocumentedAndRefusesTheRest) {
    struct Case {
        const char* text;
        bool valid;
        int processor = 0;
        int after = 0;
        FaultKind kind = FaultKind::CheckDigest;
        int bit = 0;
    };
    const Case cases[] = {
        {"cpu=1,after=3", true, 1, 3}, {"after=3,cpu=1", true, 1, 3}, {"cpu=0", true, 0, 0},
        {"cpu=1048576", true, 1048576, 0}, {"cpu=1,bit=5", true, 1, 0, FaultKind::CheckDigest, 5},
        {"kind=kernel,bit=63,cpu=2,after=4", true, 2, 4, FaultKind::KernelBit, 63},
        {"cpu=0,kind=work-area,bit=0", true, 0, 0, FaultKind::WorkAreaBit, 0},
        {"cpu=3,kind=crash,after=1", true, 3, 1, FaultKind::Crash}, {"cpu=1,kind=hang", true, 1, 0, FaultKind::Hang},
        {"cpu=1,kind=check", true, 1, 0, FaultKind::CheckDigest},
        {"", false}, {"cpu", false}, {"cpu=", false}, {"cpu=-1", false}, {"cpu=1x", false},
        {"cpu=1,after=", false}, {"after=3", false}, {"cpu=1,cpu=2", false}, {"cpu=1,when=2", false},
        {"cpu=1048577", false}, {"cpu=99999999999999999999", false}, {"cpu=1,,after=2", false},
        {" cpu=1", false}, {"cpu=1,kind=boom", false}, {"cpu=1,kind=", false}, {"cpu=1,bit=64", false},
        {"cpu=1,bit=-1", false}, {"cpu=1,kind=crash,bit=2", false}, {"cpu=1,kind=hang,kind=crash", false},
        {"kind=crash", false},
    };
    for (const Case& c : cases) {
        FaultPlan plan{-7, -7, FaultKind::Hang, -7};
        std::string error;
        EXPECT_EQ(ParseFaultInjection(c.text, &plan, &error), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(plan.processor, c.processor) << c.text;
            EXPECT_EQ(plan.after, c.after) << c.text;
            EXPECT_EQ(plan.kind, c.kind) << c.text;
            EXPECT_EQ(plan.bit, c.bit) << c.text;
        } else {
            EXPECT_EQ(plan.processor, -7) << c.text;
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

// An injector of a fault in the work is due at passes, never in the checks.
TEST(FaultInjection, OnlyTheCheckKindReachesTheCheckSuite) {
    FaultInjector injector(FaultPlan{0, 0, FaultKind::Crash, 0});
    auto area = NewArea();
    CheckFailure failure;
    EXPECT_TRUE(RunCheckSuite(area.get(), &failure, &injector, 0));
    EXPECT_TRUE(injector.Due(0)) << "the first pass on processor 0 is still to come";
    EXPECT_FALSE(injector.Due(0)) << "once only";
    FaultInjector checkBit(FaultPlan{0, 0, FaultKind::CheckDigest, 40});
    EXPECT_FALSE(RunCheckSuite(area.get(), &failure, &checkBit, 0));
    EXPECT_EQ(failure.obtained ^ failure.expected, std::uint64_t{1} << 40);
}
