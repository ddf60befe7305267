#include "check/check_suite.h"

#include "check/check_digests.h"
#include "check/fault_injection.h"

namespace {
const char* const kPartNames[kCheckPartCount] = {
    "x87 chain", "SSE2 scalar", "SSE2 packed", "integer mix", "memory pattern", "kernel state",
};
}  // namespace

const char* CheckPartName(CheckPart part) {
    const int index = static_cast<int>(part);
    return index >= 0 && index < kCheckPartCount ? kPartNames[index] : "unknown";
}

bool RunCheckSuite(std::uint64_t* area, CheckFailure* failure, FaultInjector* injector, int processor) {
    struct Result {
        CheckPart part;
        std::uint64_t expected;
        std::uint64_t obtained;
    };
    Result results[] = {
        {CheckPart::X87Chain, kX87ChainDigest, RunX87Chain()},
        {CheckPart::Sse2Scalar, kSse2ScalarDigest, RunSse2ScalarChain()},
        {CheckPart::Sse2Packed, kSse2PackedDigest, RunSse2PackedChain()},
        {CheckPart::IntegerMix, kIntegerMixDigest, RunIntegerMix()},
        {CheckPart::MemoryPattern, kMemoryPatternDigest, RunMemoryPattern(area)},
    };
    if (injector != nullptr && injector->InjectsIntoChecks() && injector->Due(processor))
        results[0].obtained ^= std::uint64_t{1} << injector->Plan().bit;
    for (const Result& result : results) {
        if (result.obtained == result.expected) continue;
        if (failure != nullptr) *failure = CheckFailure{result.part, result.expected, result.obtained};
        return false;
    }
    return true;
}
