#pragma once
// What the memory load writes into its blocks: patterns known to bring out real faults. Every
// word can be computed again from the block's pattern, its seed and the word's place, so a block
// whose checksum differs can be compared word by word with what it must hold.

#include <cstddef>
#include <cstdint>

enum class PatternKind : std::uint8_t {
    Random,        // a 64-bit mix of seed and place: every bit both ways, no two words alike
    WalkingOnes,   // one bit set, moving by one from word to word
    WalkingZeros,  // one bit clear, moving by one from word to word
    Checkerboard,  // 0x5555... and 0xAAAA... in turn: every bit against its neighbours
    OwnAddress,    // each word's own address when it was written (seed: the block's first word's)
};
inline constexpr int kPatternKindCount = 5;

// "random", "walking ones", "walking zeros", "checkerboard", "own address".
const char* PatternName(PatternKind kind);

std::uint64_t PatternWord(PatternKind kind, std::uint64_t seed, std::size_t index);
void FillPattern(PatternKind kind, std::uint64_t seed, std::uint64_t* words, std::size_t count);

// A 64-bit mix (splitmix64's): seeds and random choices.
inline std::uint64_t MixBits(std::uint64_t value) {
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}
