#include "memtest/cache_sweep.h"

#include <initializer_list>

#include "load/vector_support.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr std::uint64_t kKeys[4] = {0, ~0ull, 0x5555555555555555ull, 0xAAAAAAAAAAAAAAAAull};

// Outside the vector loops: the words of a vector that differed.
__attribute__((noinline)) void NoteWrong(SweepResult* result, const std::uint64_t* words, std::size_t first,
                                         std::size_t lanes, std::uint64_t seed, std::uint64_t oldKey) {
    for (std::size_t i = first; i < first + lanes; ++i) {
        const std::uint64_t expected = CacheWord(seed, i, oldKey);
        if (words[i] == expected) continue;
        if (result->wrongWords++ == 0) {
            result->firstWrong = i;
            result->expected = expected;
            result->obtained = words[i];
        }
    }
}

SweepResult SweepPortable(std::uint64_t* words, std::size_t count, std::uint64_t seed, std::uint64_t oldKey, std::uint64_t newKey) {
    SweepResult result;
    std::uint64_t value = seed;
    for (std::size_t i = 0; i < count; ++i, value += kCacheWordStep) {
        if (words[i] != (value ^ oldKey)) NoteWrong(&result, words, i, 1, seed, oldKey);
        words[i] = value ^ newKey;
    }
    return result;
}

#if defined(__x86_64__)
SweepResult SweepSse2(std::uint64_t* words, std::size_t count, std::uint64_t seed, std::uint64_t oldKey, std::uint64_t newKey) {
    SweepResult result;
    const __m128i step = _mm_set1_epi64x(static_cast<long long>(2 * kCacheWordStep));
    const __m128i oldMask = _mm_set1_epi64x(static_cast<long long>(oldKey));
    const __m128i newMask = _mm_set1_epi64x(static_cast<long long>(newKey));
    __m128i value = _mm_set_epi64x(static_cast<long long>(seed + kCacheWordStep), static_cast<long long>(seed));
    const __m128i zero = _mm_setzero_si128();
    for (std::size_t i = 0; i < count; i += 2) {
        auto* at = reinterpret_cast<__m128i*>(words + i);
        const __m128i differs = _mm_xor_si128(_mm_load_si128(at), _mm_xor_si128(value, oldMask));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(differs, zero)) != 0xFFFF) NoteWrong(&result, words, i, 2, seed, oldKey);
        _mm_store_si128(at, _mm_xor_si128(value, newMask));
        value = _mm_add_epi64(value, step);
    }
    return result;
}

__attribute__((target("avx2"))) SweepResult SweepAvx2(std::uint64_t* words, std::size_t count, std::uint64_t seed,
                                                      std::uint64_t oldKey, std::uint64_t newKey) {
    SweepResult result;
    const __m256i step = _mm256_set1_epi64x(static_cast<long long>(4 * kCacheWordStep));
    const __m256i oldMask = _mm256_set1_epi64x(static_cast<long long>(oldKey));
    const __m256i newMask = _mm256_set1_epi64x(static_cast<long long>(newKey));
    __m256i value = _mm256_set_epi64x(static_cast<long long>(seed + 3 * kCacheWordStep), static_cast<long long>(seed + 2 * kCacheWordStep),
                                      static_cast<long long>(seed + kCacheWordStep), static_cast<long long>(seed));
    for (std::size_t i = 0; i < count; i += 4) {
        auto* at = reinterpret_cast<__m256i*>(words + i);
        const __m256i same = _mm256_cmpeq_epi64(_mm256_load_si256(at), _mm256_xor_si256(value, oldMask));
        if (_mm256_movemask_pd(_mm256_castsi256_pd(same)) != 0xF) NoteWrong(&result, words, i, 4, seed, oldKey);
        _mm256_store_si256(at, _mm256_xor_si256(value, newMask));
        value = _mm256_add_epi64(value, step);
    }
    return result;
}

__attribute__((target("avx512f"))) SweepResult SweepAvx512(std::uint64_t* words, std::size_t count, std::uint64_t seed,
                                                           std::uint64_t oldKey, std::uint64_t newKey) {
    SweepResult result;
    const __m512i step = _mm512_set1_epi64(static_cast<long long>(8 * kCacheWordStep));
    const __m512i oldMask = _mm512_set1_epi64(static_cast<long long>(oldKey));
    const __m512i newMask = _mm512_set1_epi64(static_cast<long long>(newKey));
    long long start[8];
    for (int lane = 0; lane < 8; ++lane) start[lane] = static_cast<long long>(seed + static_cast<std::uint64_t>(lane) * kCacheWordStep);
    __m512i value = _mm512_loadu_si512(start);
    for (std::size_t i = 0; i < count; i += 8) {
        const __mmask8 wrong = _mm512_cmpneq_epi64_mask(_mm512_load_si512(words + i), _mm512_xor_si512(value, oldMask));
        if (wrong != 0) NoteWrong(&result, words, i, 8, seed, oldKey);
        _mm512_store_si512(words + i, _mm512_xor_si512(value, newMask));
        value = _mm512_add_epi64(value, step);
    }
    return result;
}
#endif

}  // namespace

std::uint64_t CacheRoundKey(std::uint64_t round) { return kKeys[round & 3]; }

bool SweepPathRuns(CopyPath path) {
    switch (path) {
    case CopyPath::Portable: return true;
#if defined(__x86_64__)
    case CopyPath::Sse: return true;
    case CopyPath::Avx2: return CanRunFmaKernel();
    case CopyPath::Avx512: return CanRunAvx512Kernel();
#else
    default: return false;
#endif
    }
    return false;
}

CopyPath WidestSweepPath() {
    for (CopyPath path : {CopyPath::Avx512, CopyPath::Avx2, CopyPath::Sse})
        if (SweepPathRuns(path)) return path;
    return CopyPath::Portable;
}

SweepResult SweepWords(CopyPath path, std::uint64_t* words, std::size_t count, std::uint64_t seed, std::uint64_t oldKey,
                       std::uint64_t newKey) {
#if defined(__x86_64__)
    switch (path) {
    case CopyPath::Sse: return SweepSse2(words, count, seed, oldKey, newKey);
    case CopyPath::Avx2: return SweepAvx2(words, count, seed, oldKey, newKey);
    case CopyPath::Avx512: return SweepAvx512(words, count, seed, oldKey, newKey);
    case CopyPath::Portable: break;
    }
#else
    (void)path;
#endif
    return SweepPortable(words, count, seed, oldKey, newKey);
}

void FillWords(std::uint64_t* words, std::size_t count, std::uint64_t seed, std::uint64_t key) {
    for (std::size_t i = 0; i < count; ++i) words[i] = CacheWord(seed, i, key);
}
