#pragma once
// The plain C++ computations whose results are the expected digests: IEEE arithmetic (and x87
// extended arithmetic, which every x86-64 compiler of this project uses for long double) rounds
// each operation exactly, and integer arithmetic is exact, so they give the same bits on every
// x86-64 processor. The constants in check_digests.h were produced by them; a test checks that
// they still agree. The program itself never computes an expected value on the processor under
// test.

#include <cstdint>

std::uint64_t ReferenceX87ChainDigest();
std::uint64_t ReferenceSse2ScalarDigest();
std::uint64_t ReferenceSse2PackedDigest();
std::uint64_t ReferenceIntegerMixDigest();
std::uint64_t ReferenceMemoryPatternDigest();

// The integer part's rounds, shared with its run-time form (plain integer code on any compiler).
std::uint64_t MixIntegerRounds(std::uint64_t seed, int rounds);
