#pragma once
// Internal to the check parts: the inputs that the run-time forms and the plain C++ references
// share. The chains multiply by a constant that is not a power of two and keep the fraction, so
// rounding feeds new low bits in at every step: the values never settle, and every bit keeps
// toggling, while staying within [-0.5, 0.5].

#include <cstdint>

namespace check_constants {

inline constexpr int kX87Iterations = 2048;
inline constexpr long double kX87Multiplier = 11.3137084989847603904135L;  // 8 * sqrt(2)
inline constexpr long double kX87Start = 0.318309886183790671537768L;     // 1 / pi
inline constexpr long double kX87Offset = 2.0L;
inline constexpr long double kX87Divisor = 3.0L;

inline constexpr int kSse2Iterations = 2048;
inline constexpr double kSse2Multiplier = 7.3890560989306495;     // e^2
inline constexpr double kSse2Start = 0.5772156649015329;          // Euler's gamma
inline constexpr double kSse2SecondStart = -0.4142135623730950;   // 1 - sqrt(2)
inline constexpr double kSse2Offset = 3.0;
inline constexpr double kSse2Divisor = 5.0;

inline constexpr int kIntegerRounds = 8192;
inline constexpr std::uint64_t kIntegerSeed = 0x243F6A8885A308D3ull;  // pi's fraction
inline constexpr std::uint64_t kIntegerMultiplier = 0x9E3779B97F4A7C15ull;
inline constexpr std::uint64_t kIntegerIncrement = 0xB7E151628AED2A6Bull;  // e's fraction

inline constexpr std::uint64_t kPatternFive = 0x5555555555555555ull;
inline constexpr std::uint64_t kPatternTen = 0xAAAAAAAAAAAAAAAAull;
inline constexpr std::uint64_t kPatternIndexMultiplier = 0x9E3779B97F4A7C15ull;

// Folds one 64-bit value into a digest; order matters, so a swapped pair shows.
inline std::uint64_t Fold(std::uint64_t digest, std::uint64_t value) {
    digest ^= value + 0x9E3779B97F4A7C15ull + (digest << 6) + (digest >> 2);
    return (digest << 23) | (digest >> 41);
}

// The pattern words of memory pass 0-3 at index i: all fives, all tens, an index pattern, and
// its complement.
inline std::uint64_t PatternWord(int pass, std::uint64_t index) {
    switch (pass) {
    case 0: return kPatternFive;
    case 1: return kPatternTen;
    case 2: return index * kPatternIndexMultiplier;
    default: return ~(index * kPatternIndexMultiplier);
    }
}
inline constexpr int kPatternPasses = 4;

}  // namespace check_constants
