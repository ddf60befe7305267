#include "memtest/cache_kernel.h"

#include <algorithm>
#include <new>

#include "memtest/patterns.h"
#include "platform/large_buffer.h"
#include "platform/processors.h"

namespace {
constexpr std::align_val_t kAlignment{64};
}

CacheLoadKernel::CacheLoadKernel(std::shared_ptr<const CacheRegionTable> table, std::shared_ptr<MemtestTotals> totals,
                                 std::uint64_t seed, CopyPath path)
    : m_table(std::move(table)), m_totals(std::move(totals)), m_path(SweepPathRuns(path) ? path : WidestSweepPath()), m_random(seed) {}

CacheLoadKernel::~CacheLoadKernel() {
    if (m_words != nullptr) ::operator delete[](m_words, kAlignment);
}

void CacheLoadKernel::Prepare(int processor) {
    m_regions = m_table->For(processor);
    std::uint64_t total = 0;
    for (std::uint64_t bytes : m_regions.bytes) total += bytes;
    m_words = static_cast<std::uint64_t*>(::operator new[](total, kAlignment));
    std::uint64_t* next = m_words;
    for (int region = 0; region < kCacheRegionCount; ++region) {
        m_region[region] = next;
        m_seed[region] = MixBits(m_random + static_cast<std::uint64_t>(region));
        const std::size_t count = m_regions.bytes[region] / 8;
        FillWords(next, count, m_seed[region], CacheRoundKey(0));
        next += count;
    }
}

PassCheck CacheLoadKernel::Run(std::uint64_t bytesPerRegion) {
    const int processor = CurrentProcessor();
    if (m_words == nullptr) Prepare(processor);
    PassCheck check;
    check.checked = true;
    int last = 0;
    for (int region = 0; region < kCacheRegionCount; ++region)
        if (m_regions.bytes[region] > 0) last = region;
    for (int region = 0; region < kCacheRegionCount; ++region) {
        const std::uint64_t bytes = m_regions.bytes[region];
        if (bytes == 0) continue;
        std::uint64_t* words = m_region[region];
        const std::size_t count = bytes / 8;
        if (region == last && m_pendingFlip >= 0) {
            words[MixBits(m_random++) % count] ^= std::uint64_t{1} << m_pendingFlip;
            m_pendingFlip = -1;
        }
        const std::uint64_t sweeps = std::max<std::uint64_t>(1, bytesPerRegion / bytes);
        for (std::uint64_t sweep = 0; sweep < sweeps; ++sweep) {
            const std::uint64_t round = m_round[region]++;
            const SweepResult result =
                SweepWords(m_path, words, count, m_seed[region], CacheRoundKey(round), CacheRoundKey(round + 1));
            check.bytesVerified += bytes;
            if (result.wrongWords == 0) continue;
            // The sweep stored every word anew: the data set is right again for the next pass.
            check.correct = false;
            check.wordMismatch = true;
            check.expected = result.expected;
            check.obtained = result.obtained;
            const std::uint64_t* word = words + result.firstWrong;
            check.mismatch.address = reinterpret_cast<std::uintptr_t>(word);
            check.mismatch.physicalAddress = PhysicalAddressOf(word);
            check.mismatch.writer = processor;
            check.mismatch.reader = processor;
            check.mismatch.wrongWords = static_cast<std::uint32_t>(result.wrongWords);
            m_totals->bytesVerified.fetch_add(check.bytesVerified, std::memory_order_relaxed);
            return check;
        }
    }
    m_totals->bytesVerified.fetch_add(check.bytesVerified, std::memory_order_relaxed);
    return check;
}

bool CacheLoadKernel::InjectWrongBit(WrongBitPlace, int bit) {
    m_pendingFlip = bit & 63;
    return true;
}
