#include "memtest/crc32c.h"

#include <array>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

// The reflected Castagnoli polynomial.
constexpr std::uint32_t kPolynomial = 0x82F63B78u;

constexpr std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint32_t crc = byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (crc & 1 ? kPolynomial : 0);
        table[byte] = crc;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kTable = MakeTable();

#if defined(__x86_64__)
__attribute__((target("sse4.2"))) BlockChecksum ChecksumWordsInstruction(const std::uint64_t* words, std::size_t count) {
    std::uint64_t c0 = 0xFFFFFFFFu, c1 = 0xFFFFFFFFu, c2 = 0xFFFFFFFFu, c3 = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < count; i += 4) {
        c0 = _mm_crc32_u64(c0, words[i]);
        c1 = _mm_crc32_u64(c1, words[i + 1]);
        c2 = _mm_crc32_u64(c2, words[i + 2]);
        c3 = _mm_crc32_u64(c3, words[i + 3]);
    }
    BlockChecksum sum;
    sum.lane[0] = ~static_cast<std::uint32_t>(c0);
    sum.lane[1] = ~static_cast<std::uint32_t>(c1);
    sum.lane[2] = ~static_cast<std::uint32_t>(c2);
    sum.lane[3] = ~static_cast<std::uint32_t>(c3);
    return sum;
}
#endif

}  // namespace

bool HasCrc32Instruction() {
#if defined(__x86_64__)
    static const bool has = __builtin_cpu_supports("sse4.2");
    return has;
#else
    return false;
#endif
}

std::uint32_t Crc32cWordPortable(std::uint32_t crc, std::uint64_t word) {
    for (int byte = 0; byte < 8; ++byte) crc = (crc >> 8) ^ kTable[(crc ^ static_cast<std::uint32_t>(word >> (8 * byte))) & 0xFF];
    return crc;
}

BlockChecksum ChecksumWordsPortable(const std::uint64_t* words, std::size_t count) {
    std::uint32_t lanes[kChecksumLanes] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    for (std::size_t i = 0; i < count; ++i) lanes[i % kChecksumLanes] = Crc32cWordPortable(lanes[i % kChecksumLanes], words[i]);
    BlockChecksum sum;
    for (std::size_t lane = 0; lane < kChecksumLanes; ++lane) sum.lane[lane] = ~lanes[lane];
    return sum;
}

BlockChecksum ChecksumWords(const std::uint64_t* words, std::size_t count) {
#if defined(__x86_64__)
    if (HasCrc32Instruction()) return ChecksumWordsInstruction(words, count);
#endif
    return ChecksumWordsPortable(words, count);
}
