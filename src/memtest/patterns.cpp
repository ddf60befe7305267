#include "memtest/patterns.h"

const char* PatternName(PatternKind kind) {
    switch (kind) {
    case PatternKind::Random: return "random";
    case PatternKind::WalkingOnes: return "walking ones";
    case PatternKind::WalkingZeros: return "walking zeros";
    case PatternKind::Checkerboard: return "checkerboard";
    case PatternKind::OwnAddress: return "own address";
    }
    return "unknown";
}

std::uint64_t PatternWord(PatternKind kind, std::uint64_t seed, std::size_t index) {
    const std::uint64_t place = seed + index;
    switch (kind) {
    case PatternKind::Random: return MixBits(seed ^ (static_cast<std::uint64_t>(index) * 0xD6E8FEB86659FD93ull));
    case PatternKind::WalkingOnes: return std::uint64_t{1} << (place & 63);
    case PatternKind::WalkingZeros: return ~(std::uint64_t{1} << (place & 63));
    case PatternKind::Checkerboard: return place & 1 ? 0xAAAAAAAAAAAAAAAAull : 0x5555555555555555ull;
    case PatternKind::OwnAddress: return seed + 8 * static_cast<std::uint64_t>(index);
    }
    return 0;
}

void FillPattern(PatternKind kind, std::uint64_t seed, std::uint64_t* words, std::size_t count) {
    // One loop per pattern, so that each is a plain loop the compiler can widen.
    switch (kind) {
    case PatternKind::Random:
        for (std::size_t i = 0; i < count; ++i) words[i] = PatternWord(PatternKind::Random, seed, i);
        return;
    case PatternKind::WalkingOnes:
        for (std::size_t i = 0; i < count; ++i) words[i] = std::uint64_t{1} << ((seed + i) & 63);
        return;
    case PatternKind::WalkingZeros:
        for (std::size_t i = 0; i < count; ++i) words[i] = ~(std::uint64_t{1} << ((seed + i) & 63));
        return;
    case PatternKind::Checkerboard:
        for (std::size_t i = 0; i < count; ++i) words[i] = (seed + i) & 1 ? 0xAAAAAAAAAAAAAAAAull : 0x5555555555555555ull;
        return;
    case PatternKind::OwnAddress:
        for (std::size_t i = 0; i < count; ++i) words[i] = seed + 8 * static_cast<std::uint64_t>(i);
        return;
    }
}
