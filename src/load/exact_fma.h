// a * b + c rounded once, in plain double arithmetic, for the reference: MinGW-w64's fma rounds
// about a third of the kernels' operations wrongly. Boldo and Melquiond's emulation (IEEE Trans.
// Computers 57(4), 2008): the product split exactly into two doubles (Dekker), the high part
// added to c exactly (Knuth's TwoSum), the two low parts summed rounding to odd, and that added
// to the high sum with the one rounding to nearest. Correct when nothing overflows or underflows
// (the kernels keep every value between 0.5 and 8); other inputs go to std::fma.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace exact_fma_detail {

struct Pair {
    double high, low;
};

inline Pair TwoSum(double a, double b) {
    const double sum = a + b;
    const double bVirtual = sum - a;
    const double aVirtual = sum - bVirtual;
    return {sum, (a - aVirtual) + (b - bVirtual)};
}

// Veltkamp's split: 26 and 27 bits whose products are exact.
inline Pair Split(double a) {
    const double scaled = 134217729.0 * a;  // 2^27 + 1
    const double high = scaled - (scaled - a);
    return {high, a - high};
}

inline Pair TwoProduct(double a, double b) {
    const double product = a * b;
    const Pair x = Split(a), y = Split(b);
    const double error = ((x.high * y.high - product) + x.high * y.low + x.low * y.high) + x.low * y.low;
    return {product, error};
}

// a + b rounded to odd: the nearest sum, moved one step towards the exact sum when it is inexact
// and its last bit is even.
inline double AddRoundToOdd(double a, double b) {
    const Pair sum = TwoSum(a, b);
    std::uint64_t bits;
    std::memcpy(&bits, &sum.high, sizeof bits);
    if (sum.low == 0.0 || (bits & 1) != 0) return sum.high;
    return std::nextafter(sum.high, sum.low > 0.0 ? INFINITY : -INFINITY);
}

}  // namespace exact_fma_detail

inline double ExactFma(double a, double b, double c) {
    using namespace exact_fma_detail;
    const double product = a * b;
    // Far from overflow and underflow, where the splits and sums stay exact.
    const auto safe = [](double x) { return x == 0.0 || (std::fabs(x) > 0x1p-900 && std::fabs(x) < 0x1p+900); };
    if (!safe(a) || !safe(b) || !safe(c) || !safe(product)) return std::fma(a, b, c);
    const Pair u = TwoProduct(a, b);
    const Pair t = TwoSum(c, u.high);
    const double v = AddRoundToOdd(t.low, u.low);
    return t.high + v;
}
