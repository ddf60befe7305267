#pragma once
// One sweep of the cache load over a data set: every word loaded (at the widest width the
// processor has), compared with the value the last sweep stored, and stored anew. Word i holds
// (seed + i * kCacheWordStep) ^ key, and the key takes four values in turn (0, all ones, 0x55...,
// 0xAA...), so every bit of every word is written both ways and against its neighbours.

#include <cstddef>
#include <cstdint>

#include "memtest/block_copy.h"

inline constexpr std::uint64_t kCacheWordStep = 0x9E3779B97F4A7C15ull;

// The key of sweep round (the value the round stores).
std::uint64_t CacheRoundKey(std::uint64_t round);
inline std::uint64_t CacheWord(std::uint64_t seed, std::size_t index, std::uint64_t key) {
    return (seed + index * kCacheWordStep) ^ key;
}

struct SweepResult {
    std::size_t wrongWords = 0;
    std::size_t firstWrong = 0;  // index of the first wrong word
    std::uint64_t expected = 0;
    std::uint64_t obtained = 0;
};

// Whether the path's instructions run here (SSE here means SSE2).
bool SweepPathRuns(CopyPath path);
CopyPath WidestSweepPath();

// Checks every one of count words (a multiple of 8, 64-byte aligned) against oldKey's values and
// stores newKey's.
SweepResult SweepWords(CopyPath path, std::uint64_t* words, std::size_t count, std::uint64_t seed, std::uint64_t oldKey,
                       std::uint64_t newKey);
void FillWords(std::uint64_t* words, std::size_t count, std::uint64_t seed, std::uint64_t key);
