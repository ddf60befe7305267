#pragma once
// What each check part's digest must be, bit for bit. Produced by the references in
// check_reference.h; a test checks that they still agree.

#include <cstdint>

inline constexpr std::uint64_t kX87ChainDigest = 0x4b4293270d98dd88ull;
inline constexpr std::uint64_t kSse2ScalarDigest = 0x84a301b308800ad9ull;
inline constexpr std::uint64_t kSse2PackedDigest = 0x048f2e0ce68d3a86ull;
inline constexpr std::uint64_t kIntegerMixDigest = 0x234fbe07397406a5ull;
inline constexpr std::uint64_t kMemoryPatternDigest = 0x07134ca8ced0a55dull;
