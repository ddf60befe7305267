#pragma once
// The parts of a worker's check: short computations over the worker's own registers and memory
// whose exact results are known in advance, bit for bit. Each part returns a 64-bit digest of its
// results; check_digests.h holds what the digests must be, check_reference.h the plain C++ that
// computed those constants.

#include <cstddef>
#include <cstdint>

enum class CheckPart : int {
    X87Chain,       // multiply, round, square root and divide chain in x87 extended precision
    Sse2Scalar,     // the same kind of chain in SSE2 scalar double arithmetic
    Sse2Packed,     // two such chains side by side in SSE2 packed double arithmetic
    IntegerMix,     // 64-bit multiply, shift, rotate and add mixing
    MemoryPattern,  // toggling patterns written to and read back from the worker's check area
    KernelState,    // what the load kernel itself left behind after its pass
};
inline constexpr int kCheckPartCount = 6;

// A short name for messages and the log ("x87 chain", "memory pattern", ...).
const char* CheckPartName(CheckPart part);

// The worker's check area: 64 KiB of its own memory, 64-byte aligned.
inline constexpr std::size_t kCheckAreaWords = 8192;

std::uint64_t RunX87Chain();
std::uint64_t RunSse2ScalarChain();
std::uint64_t RunSse2PackedChain();
std::uint64_t RunIntegerMix();
// area holds kCheckAreaWords words; its contents are overwritten.
std::uint64_t RunMemoryPattern(std::uint64_t* area);
