#pragma once
// CRC32C (Castagnoli), the checksum the memory load keeps beside every block: with the SSE4.2
// instruction where the processor has it, in plain C++ elsewhere (and as the reference). A block's
// checksum is four CRCs, one per lane of words (word i in lane i % 4), so that four chains run side
// by side; each lane alone finds every error of up to 32 bits in a row and every single-bit error.

#include <cstddef>
#include <cstdint>

struct BlockChecksum {
    std::uint32_t lane[4] = {};
    bool operator==(const BlockChecksum&) const = default;
};

inline constexpr std::size_t kChecksumLanes = 4;

// Whether the processor has the CRC32 instruction (SSE4.2).
bool HasCrc32Instruction();

// The checksum of count words (a multiple of 4).
BlockChecksum ChecksumWords(const std::uint64_t* words, std::size_t count);
// The same in plain C++, on any processor.
BlockChecksum ChecksumWordsPortable(const std::uint64_t* words, std::size_t count);

// One CRC32C step over a word, as the instruction does it (no inversion before or after).
std::uint32_t Crc32cWordPortable(std::uint32_t crc, std::uint64_t word);
