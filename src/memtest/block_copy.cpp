#include "memtest/block_copy.h"

#include <cstring>
#include <initializer_list>

#include "load/vector_support.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

#if defined(__x86_64__)
// How far ahead of the copy the source is asked for: 4 KiB, a little more than one memory latency
// at full speed.
constexpr std::size_t kPrefetchWords = 512;

// The four lanes' CRCs of the eight words at words (lane i % 4).
#define FERROX_CRC_EIGHT(words)                  \
    c0 = _mm_crc32_u64(c0, (words)[0]);          \
    c1 = _mm_crc32_u64(c1, (words)[1]);          \
    c2 = _mm_crc32_u64(c2, (words)[2]);          \
    c3 = _mm_crc32_u64(c3, (words)[3]);          \
    c0 = _mm_crc32_u64(c0, (words)[4]);          \
    c1 = _mm_crc32_u64(c1, (words)[5]);          \
    c2 = _mm_crc32_u64(c2, (words)[6]);          \
    c3 = _mm_crc32_u64(c3, (words)[7])

BlockChecksum Finish(std::uint64_t c0, std::uint64_t c1, std::uint64_t c2, std::uint64_t c3) {
    BlockChecksum sum;
    sum.lane[0] = ~static_cast<std::uint32_t>(c0);
    sum.lane[1] = ~static_cast<std::uint32_t>(c1);
    sum.lane[2] = ~static_cast<std::uint32_t>(c2);
    sum.lane[3] = ~static_cast<std::uint32_t>(c3);
    return sum;
}

__attribute__((target("sse4.2"))) BlockChecksum CopySse(const std::uint64_t* source, std::uint64_t* target, std::size_t count) {
    std::uint64_t c0 = 0xFFFFFFFFu, c1 = 0xFFFFFFFFu, c2 = 0xFFFFFFFFu, c3 = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < count; i += 8) {
        const auto* from = reinterpret_cast<const __m128i*>(source + i);
        auto* to = reinterpret_cast<__m128i*>(target + i);
        const __m128i a = _mm_load_si128(from), b = _mm_load_si128(from + 1), c = _mm_load_si128(from + 2),
                      d = _mm_load_si128(from + 3);
        _mm_stream_si128(to, a);
        _mm_stream_si128(to + 1, b);
        _mm_stream_si128(to + 2, c);
        _mm_stream_si128(to + 3, d);
        FERROX_CRC_EIGHT(source + i);
    }
    _mm_sfence();
    return Finish(c0, c1, c2, c3);
}

__attribute__((target("avx2,sse4.2"))) BlockChecksum CopyAvx2(const std::uint64_t* source, std::uint64_t* target, std::size_t count) {
    std::uint64_t c0 = 0xFFFFFFFFu, c1 = 0xFFFFFFFFu, c2 = 0xFFFFFFFFu, c3 = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < count; i += 8) {
        const auto* from = reinterpret_cast<const __m256i*>(source + i);
        auto* to = reinterpret_cast<__m256i*>(target + i);
        const __m256i a = _mm256_load_si256(from), b = _mm256_load_si256(from + 1);
        _mm256_stream_si256(to, a);
        _mm256_stream_si256(to + 1, b);
        FERROX_CRC_EIGHT(source + i);
    }
    _mm_sfence();
    return Finish(c0, c1, c2, c3);
}

__attribute__((target("avx512f,sse4.2"))) BlockChecksum CopyAvx512(const std::uint64_t* source, std::uint64_t* target, std::size_t count) {
    std::uint64_t c0 = 0xFFFFFFFFu, c1 = 0xFFFFFFFFu, c2 = 0xFFFFFFFFu, c3 = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < kPrefetchWords && i < count; i += 8)
        _mm_prefetch(reinterpret_cast<const char*>(source + i), _MM_HINT_T0);
    for (std::size_t i = 0; i < count; i += 32) {
        // The hardware's prefetchers stop at every 4 KiB page: ask for the lines ahead.
        _mm_prefetch(reinterpret_cast<const char*>(source + i + kPrefetchWords), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(source + i + kPrefetchWords + 8), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(source + i + kPrefetchWords + 16), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(source + i + kPrefetchWords + 24), _MM_HINT_T0);
        const __m512i a = _mm512_load_si512(source + i), b = _mm512_load_si512(source + i + 8),
                      c = _mm512_load_si512(source + i + 16), d = _mm512_load_si512(source + i + 24);
        _mm512_stream_si512(reinterpret_cast<__m512i*>(target + i), a);
        _mm512_stream_si512(reinterpret_cast<__m512i*>(target + i + 8), b);
        _mm512_stream_si512(reinterpret_cast<__m512i*>(target + i + 16), c);
        _mm512_stream_si512(reinterpret_cast<__m512i*>(target + i + 24), d);
        FERROX_CRC_EIGHT(source + i);
        FERROX_CRC_EIGHT(source + i + 8);
        FERROX_CRC_EIGHT(source + i + 16);
        FERROX_CRC_EIGHT(source + i + 24);
    }
    _mm_sfence();
    return Finish(c0, c1, c2, c3);
}
#undef FERROX_CRC_EIGHT
#endif

}  // namespace

const char* CopyPathName(CopyPath path) {
    switch (path) {
    case CopyPath::Sse: return "SSE";
    case CopyPath::Avx2: return "AVX2";
    case CopyPath::Avx512: return "AVX-512";
    case CopyPath::Portable: break;
    }
    return "portable";
}

bool CopyPathRuns(CopyPath path) {
    switch (path) {
    case CopyPath::Portable: return true;
    case CopyPath::Sse: return HasCrc32Instruction();
    case CopyPath::Avx2: return HasCrc32Instruction() && CanRunFmaKernel();
    case CopyPath::Avx512: return HasCrc32Instruction() && CanRunAvx512Kernel();
    }
    return false;
}

CopyPath WidestCopyPath() {
    for (CopyPath path : {CopyPath::Avx512, CopyPath::Avx2, CopyPath::Sse})
        if (CopyPathRuns(path)) return path;
    return CopyPath::Portable;
}

BlockChecksum CopyWithChecksum(CopyPath path, const std::uint64_t* source, std::uint64_t* target, std::size_t count) {
#if defined(__x86_64__)
    switch (path) {
    case CopyPath::Sse: return CopySse(source, target, count);
    case CopyPath::Avx2: return CopyAvx2(source, target, count);
    case CopyPath::Avx512: return CopyAvx512(source, target, count);
    case CopyPath::Portable: break;
    }
#else
    (void)path;
#endif
    std::memcpy(target, source, count * sizeof *source);
    return ChecksumWordsPortable(source, count);
}
