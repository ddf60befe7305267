// The x87 part: a chain in extended precision, written out instruction by instruction so that it
// runs on the x87 unit whatever the compiler would choose. The control word is set to extended
// precision, round to nearest, for the chain and put back after it.

#include <cstdint>
#include <cstring>

#include "check/check_constants.h"
#include "check/check_parts.h"

namespace {
// Extended precision (bits 8-9 = 11), round to nearest (bits 10-11 = 00), every exception masked.
constexpr std::uint16_t kExtendedNearest = 0x037F;

// The 64-bit significand and the sign and exponent word of an extended value, folded.
std::uint64_t FoldExtended(std::uint64_t digest, const unsigned char (&bytes)[10]) {
    std::uint64_t significand = 0;
    std::uint16_t signExponent = 0;
    std::memcpy(&significand, bytes, 8);
    std::memcpy(&signExponent, bytes + 8, 2);
    return check_constants::Fold(check_constants::Fold(digest, significand), signExponent);
}
}  // namespace

std::uint64_t RunX87Chain() {
    using namespace check_constants;
    // In memory, so the compiler cannot fold the chain.
    const long double multiplier = kX87Multiplier, start = kX87Start, offset = kX87Offset, divisor = kX87Divisor;
    const int iterations = kX87Iterations;
    const std::uint16_t control = kExtendedNearest;
    std::uint16_t savedControl = 0;
    unsigned char x[10], sum[10];
    int left = iterations;
    // Stack at the loop's top: st0 = x, st1 = sum. Per iteration:
    //   t = x * m; x = t - round(t); sum += sqrt(x * x + offset) / divisor.
    asm volatile(
        "fnstcw %[saved]\n\t"
        "fldcw %[control]\n\t"
        "fldz\n\t"                  // sum
        "fldt %[start]\n"           // x
        "1:\n\t"
        "fldt %[m]\n\t"
        "fmulp\n\t"                 // t
        "fld %%st(0)\n\t"
        "frndint\n\t"
        "fsubrp\n\t"                // x = t - round(t)
        "fld %%st(0)\n\t"
        "fmul %%st(0), %%st\n\t"    // x * x
        "fldt %[offset]\n\t"
        "faddp\n\t"
        "fsqrt\n\t"
        "fldt %[divisor]\n\t"
        "fdivrp\n\t"                // sqrt(...) / divisor
        "faddp %%st, %%st(2)\n\t"   // sum += it; pop
        "decl %[left]\n\t"
        "jnz 1b\n\t"
        "fstpt %[x]\n\t"
        "fstpt %[sum]\n\t"
        "fldcw %[saved]\n\t"
        : [saved] "=m"(savedControl), [x] "=m"(x), [sum] "=m"(sum), [left] "+r"(left)
        : [control] "m"(control), [start] "m"(start), [m] "m"(multiplier), [offset] "m"(offset),
          [divisor] "m"(divisor)
        : "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)", "cc", "memory");
    return FoldExtended(FoldExtended(0, x), sum);
}
