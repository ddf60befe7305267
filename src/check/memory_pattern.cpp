// The memory part: each pattern written over the whole check area, then read back and folded.

#include <cstdint>

#include "check/check_constants.h"
#include "check/check_parts.h"

std::uint64_t RunMemoryPattern(std::uint64_t* area) {
    using namespace check_constants;
    std::uint64_t digest = 0;
    for (int pass = 0; pass < kPatternPasses; ++pass) {
        for (std::size_t i = 0; i < kCheckAreaWords; ++i) area[i] = PatternWord(pass, i);
        // The words must be read back from memory, not from what the compiler remembers writing.
        asm volatile("" : : "r"(area) : "memory");
        for (std::size_t i = 0; i < kCheckAreaWords; ++i) digest = Fold(digest, area[i]);
    }
    return digest;
}
