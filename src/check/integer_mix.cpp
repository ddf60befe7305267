// The integer part: multiply, shift, rotate and add rounds over 64-bit values.

#include <cstdint>

#include "check/check_constants.h"
#include "check/check_parts.h"
#include "check/check_reference.h"

std::uint64_t RunIntegerMix() {
    // The rounds are the reference's own; only the seed is hidden, so they run on the processor
    // under test instead of in the compiler.
    volatile std::uint64_t opaqueSeed = check_constants::kIntegerSeed;
    return MixIntegerRounds(opaqueSeed, check_constants::kIntegerRounds);
}
