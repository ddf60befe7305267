#pragma once
// One large block of memory for the memory load: aligned to huge pages, in huge pages where the
// system grants them, locked in memory where the limit allows, and given back in parts.

#include <cstddef>
#include <cstdint>
#include <string>

struct LargeBuffer {
    unsigned char* base = nullptr;  // 2 MiB aligned
    std::size_t bytes = 0;
    bool hugePages = false;   // transparent huge pages asked for (Linux), large pages granted (Windows)
    bool locked = false;      // kept in memory: never swapped out
    std::string lockProblem;  // why it is not locked (empty when it is)
    // The mapping as the system gave it (for the release).
    void* mapping = nullptr;
    std::size_t mappingBytes = 0;
};

// Reserves bytes (a multiple of 4 KiB); pages are given on first touch. False with a reason when
// the system refuses.
bool AllocateLargeBuffer(std::size_t bytes, LargeBuffer* buffer, std::string* error);
void FreeLargeBuffer(LargeBuffer* buffer);

// Gives the pages of [offset, offset + bytes) back to the system: their content is lost, and they
// must not be touched again. Offset and bytes are multiples of 64 KiB.
void ReleaseBufferRange(const LargeBuffer& buffer, std::size_t offset, std::size_t bytes);

// The physical address behind a virtual address of this process, where the system tells it
// (Linux: /proc/self/pagemap, with the right to read frame numbers, as root); 0 otherwise.
std::uint64_t PhysicalAddressOf(const void* address);
