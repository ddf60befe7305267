#pragma once
// The memory load's copy: a block read with the widest loads the processor has, written with
// non-temporal stores (straight to memory, as a large memcpy does, so that the next read of it
// comes from memory and not from this core's cache), and the checksum of what was read computed
// on the way.

#include <cstddef>
#include <cstdint>

#include "memtest/crc32c.h"

enum class CopyPath : int {
    Portable,  // memcpy and the plain C++ checksum
    Sse,       // 16-byte loads and stores, CRC32 instruction
    Avx2,      // 32-byte
    Avx512,    // 64-byte
};

// The widest path this processor and its system run.
CopyPath WidestCopyPath();
// "portable", "SSE", "AVX2", "AVX-512".
const char* CopyPathName(CopyPath path);
bool CopyPathRuns(CopyPath path);

// Copies count words (both 64-byte aligned) from source to target and returns
// the checksum of what it read (count: a multiple of 32). Stores are ordered before any later store (a fence at the end).
BlockChecksum CopyWithChecksum(CopyPath path, const std::uint64_t* source, std::uint64_t* target, std::size_t count);
