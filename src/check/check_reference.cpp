// The references: the same computations as the run-time parts, one value at a time, in plain
// C++ without any memory round trip.

#include "check/check_reference.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "check/check_constants.h"
#include "check/check_parts.h"

using namespace check_constants;

namespace {

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::uint64_t FoldExtended(std::uint64_t digest, long double value) {
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, &value, sizeof value);
    std::uint64_t significand = 0;
    std::uint16_t signExponent = 0;
    std::memcpy(&significand, bytes, 8);
    std::memcpy(&signExponent, bytes + 8, 2);
    return Fold(Fold(digest, significand), signExponent);
}

struct DoubleChain {
    double x;
    double sum = 0.0;
};

void StepDoubleChain(DoubleChain& chain) {
    const double t = chain.x * kSse2Multiplier;
    chain.x = t - static_cast<double>(std::llrint(t));
    chain.sum += std::sqrt(chain.x * chain.x + kSse2Offset) / kSse2Divisor;
}

}  // namespace

std::uint64_t ReferenceX87ChainDigest() {
    long double x = kX87Start, sum = 0.0L;
    for (int i = 0; i < kX87Iterations; ++i) {
        const long double t = x * kX87Multiplier;
        x = t - std::nearbyint(t);
        sum += std::sqrt(x * x + kX87Offset) / kX87Divisor;
    }
    return FoldExtended(FoldExtended(0, x), sum);
}

std::uint64_t ReferenceSse2ScalarDigest() {
    DoubleChain chain{kSse2Start};
    for (int i = 0; i < kSse2Iterations; ++i) StepDoubleChain(chain);
    return Fold(Fold(0, Bits(chain.x)), Bits(chain.sum));
}

std::uint64_t ReferenceSse2PackedDigest() {
    DoubleChain low{kSse2Start}, high{kSse2SecondStart};
    for (int i = 0; i < kSse2Iterations; ++i) {
        StepDoubleChain(low);
        StepDoubleChain(high);
    }
    std::uint64_t digest = 0;
    for (double value : {low.x, high.x, low.sum, high.sum}) digest = Fold(digest, Bits(value));
    return digest;
}

std::uint64_t MixIntegerRounds(std::uint64_t seed, int rounds) {
    std::uint64_t h = seed;
    for (int round = 0; round < rounds; ++round) {
        h ^= h >> 29;
        h *= kIntegerMultiplier;
        h = (h << 17 | h >> 47) + kIntegerIncrement;
        h ^= h >> 32;
    }
    return h;
}

std::uint64_t ReferenceIntegerMixDigest() { return MixIntegerRounds(kIntegerSeed, kIntegerRounds); }

std::uint64_t ReferenceMemoryPatternDigest() {
    std::uint64_t digest = 0;
    for (int pass = 0; pass < kPatternPasses; ++pass)
        for (std::size_t i = 0; i < kCheckAreaWords; ++i) digest = Fold(digest, PatternWord(pass, i));
    return digest;
}
