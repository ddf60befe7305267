#include "memtest/memory_arena.h"

#include <algorithm>
#include <numeric>

#include "platform/large_buffer.h"

namespace {

// One in sixteen slots is kept free, so that a worker finds a free place within a few tries.
constexpr std::size_t kFreeShareDivisor = 16;
constexpr int kRandomFreeTries = 64;

std::uint64_t NextRandom(std::uint64_t* state) {
    *state += 0x9E3779B97F4A7C15ull;
    return MixBits(*state);
}

void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

}  // namespace

std::shared_ptr<MemoryArena> MemoryArena::Create(std::size_t bytes, std::string* error, CopyPath path) {
    const std::size_t slots = bytes / kBlockBytes;
    if (slots < 2) {
        if (error != nullptr) *error = "the buffer must hold at least two 256 KiB blocks";
        return nullptr;
    }
    std::shared_ptr<MemoryArena> arena(new MemoryArena(CopyPathRuns(path) ? path : WidestCopyPath()));
    if (!AllocateLargeBuffer(slots * kBlockBytes, &arena->m_buffer, error)) return nullptr;
    arena->m_slots = slots;
    arena->m_states = std::make_unique<std::atomic<std::uint32_t>[]>(slots);
    arena->m_records = std::make_unique<BlockRecord[]>(slots);
    arena->m_activeSlots = slots;
    arena->m_releasedFrom = slots;
    return arena;
}

MemoryArena::~MemoryArena() { FreeLargeBuffer(&m_buffer); }

std::size_t MemoryArena::SlotAt(std::uint64_t sweep, std::size_t position) const {
    if (m_slots <= 1) return 0;
    // A new stride and start every sweep: position * stride + start modulo the slot count visits
    // every slot once when the stride has no factor in common with the count.
    const std::uint64_t mixed = MixBits(sweep ^ reinterpret_cast<std::uintptr_t>(m_buffer.base));
    std::uint64_t stride = 1 + mixed % (m_slots - 1);
    while (std::gcd(stride, static_cast<std::uint64_t>(m_slots)) != 1) stride = stride % (m_slots - 1) + 1;
    const std::uint64_t start = MixBits(mixed) % m_slots;
    const unsigned __int128 place = static_cast<unsigned __int128>(position % m_slots) * stride + start;
    return static_cast<std::size_t>(place % m_slots);
}

void MemoryArena::WriteBlock(std::size_t slot, PatternKind pattern, std::uint64_t seed, int processor) {
    std::uint64_t* words = SlotWords(slot);
    if (pattern == PatternKind::OwnAddress) seed = reinterpret_cast<std::uintptr_t>(words);
    FillPattern(pattern, seed, words, kBlockWords);
    BlockRecord& record = m_records[slot];
    record.checksum = ChecksumWords(words, kBlockWords);
    record.seed = seed;
    record.pattern = pattern;
    record.writer = processor;
    record.copies = 0;
}

bool MemoryArena::FillOne(int processor, ArenaWork* work) {
    const std::uint64_t slot = m_fillNext.fetch_add(1);
    if (slot >= m_slots) return false;
    std::uint32_t seen = Unfilled;
    // A slot the guard retired before it was filled is left alone.
    if (!m_states[slot].compare_exchange_strong(seen, Busy, std::memory_order_acquire)) return true;
    const auto pattern = static_cast<PatternKind>(slot % kPatternKindCount);
    WriteBlock(slot, pattern, MixBits(slot ^ reinterpret_cast<std::uintptr_t>(m_buffer.base)), processor);
    ++work->blocksWritten;
    // Every sixteenth slot stays free, so that a smaller buffer (after a shrink) keeps its share.
    const bool free = slot % kFreeShareDivisor == kFreeShareDivisor - 1 || (m_slots < kFreeShareDivisor && slot + 1 == m_slots);
    if (!free) {
        m_blocks.fetch_add(1);
        m_states[slot].store(Occupied, std::memory_order_release);
    } else {
        // Touched now (so that the whole buffer is in memory from the start), and free.
        m_states[slot].store(Free, std::memory_order_release);
    }
    return true;
}

long MemoryArena::PickFree(std::uint64_t* random) {
    const std::size_t active = m_activeSlots.load(std::memory_order_relaxed);
    if (active == 0) return -1;
    auto take = [&](std::size_t slot) {
        std::uint32_t seen = m_states[slot].load(std::memory_order_relaxed);
        return seen == Free && m_states[slot].compare_exchange_strong(seen, Busy, std::memory_order_acquire);
    };
    for (int attempt = 0; attempt < kRandomFreeTries; ++attempt) {
        const std::size_t slot = NextRandom(random) % active;
        if (take(slot)) return static_cast<long>(slot);
    }
    const std::size_t start = NextRandom(random) % active;
    for (std::size_t step = 0; step < active; ++step) {
        const std::size_t slot = (start + step) % active;
        if (take(slot)) return static_cast<long>(slot);
    }
    return -1;
}

void MemoryArena::Diagnose(const std::uint64_t* source, const std::uint64_t* copy, const BlockRecord& record,
                           const BlockChecksum& obtained, ArenaWork* work) const {
    // The words as they are now; when they all read right again, what the copy got from them.
    std::size_t first = kBlockWords;
    std::uint32_t wrong = 0;
    for (const std::uint64_t* words : {source, copy}) {
        if (words == nullptr || wrong > 0) continue;
        for (std::size_t i = 0; i < kBlockWords; ++i) {
            const std::uint64_t expected = PatternWord(record.pattern, record.seed, i);
            if (words[i] == expected) continue;
            if (wrong++ == 0) {
                first = i;
                work->expected = expected;
                work->obtained = words[i];
            }
        }
    }
    work->mismatch = true;
    work->where.wrongWords = wrong;
    if (wrong == 0) {
        // Only the checksum differed: a fault on the way, gone when the words were read again.
        for (std::size_t lane = 0; lane < kChecksumLanes; ++lane) {
            if (record.checksum.lane[lane] == obtained.lane[lane]) continue;
            work->expected = record.checksum.lane[lane];
            work->obtained = obtained.lane[lane];
            break;
        }
        first = 0;
    }
    const std::uint64_t* word = source + first;
    work->where.address = reinterpret_cast<std::uintptr_t>(word);
    work->where.physicalAddress = PhysicalAddressOf(word);
}

bool MemoryArena::CopyOne(int processor, std::uint64_t* random, ArenaWork* work) {
    const std::uint64_t ticket = m_cursor.fetch_add(1);
    const std::size_t slot = SlotAt(ticket / m_slots, static_cast<std::size_t>(ticket % m_slots));
    std::atomic<std::uint32_t>& state = m_states[slot];
    std::uint32_t seen = state.load(std::memory_order_acquire);
    while (seen == Held) {  // a flip being injected: wait for it, this ticket must read the block
        Pause();
        seen = state.load(std::memory_order_acquire);
    }
    if (seen != Occupied || !state.compare_exchange_strong(seen, Busy, std::memory_order_acquire)) return false;
    const BlockRecord record = m_records[slot];
    const std::uint64_t* source = SlotWords(slot);
    const long target = PickFree(random);
    std::uint64_t* copy = target >= 0 ? SlotWords(static_cast<std::size_t>(target)) : nullptr;
    const BlockChecksum obtained = copy != nullptr ? CopyWithChecksum(m_path, source, copy, kBlockWords)
                                                   : ChecksumWords(source, kBlockWords);
    ++work->blocksVerified;
    if (copy != nullptr) work->bytesCopied += kBlockBytes;
    if (record.writer != processor) ++work->crossReads;
    const std::size_t home = target >= 0 ? static_cast<std::size_t>(target) : slot;
    if (obtained != record.checksum) {
        Diagnose(source, copy, record, obtained, work);
        work->where.writer = record.writer;
        work->where.reader = processor;
        work->ticket = ticket;
        // The block goes on, written afresh and right.
        WriteBlock(home, record.pattern, record.seed, processor);
    } else if (copy != nullptr) {
        BlockRecord& moved = m_records[home];
        moved = record;
        moved.writer = processor;
        ++moved.copies;
    }
    m_states[home].store(Occupied, std::memory_order_release);
    if (home != slot) state.store(Free, std::memory_order_release);
    return true;
}

ArenaWork MemoryArena::Work(std::size_t blocks, int processor, std::uint64_t* random) {
    ArenaWork work;
    for (std::size_t done = 0; done < blocks && !work.mismatch; ++done) {
        if (m_fillNext.load(std::memory_order_relaxed) < m_slots && FillOne(processor, &work)) continue;
        if (m_activeSlots.load(std::memory_order_relaxed) == 0) break;
        CopyOne(processor, random, &work);
    }
    return work;
}

bool MemoryArena::FlipBit(int bit, std::uint64_t* random) {
    for (int attempt = 0; attempt < 1024; ++attempt) {
        const std::uint64_t now = m_cursor.load();
        std::uint64_t sweep = now / m_slots;
        const std::size_t position = static_cast<std::size_t>(now % m_slots);
        // A place this sweep has not handed out yet (or the next sweep's, at the very end).
        std::size_t place = 0;
        if (position + 1 < m_slots) {
            place = position + 1 + static_cast<std::size_t>(NextRandom(random) % (m_slots - position - 1));
        } else {
            ++sweep;
            place = static_cast<std::size_t>(NextRandom(random) % m_slots);
        }
        const std::size_t slot = SlotAt(sweep, place);
        std::uint32_t seen = Occupied;
        if (!m_states[slot].compare_exchange_strong(seen, Held, std::memory_order_acquire)) continue;
        const std::uint64_t held = m_cursor.load();
        if (held > sweep * m_slots + place) {  // the sweep got there meanwhile: another place
            m_states[slot].store(Occupied, std::memory_order_release);
            continue;
        }
        std::uint64_t* word = SlotWords(slot) + NextRandom(random) % kBlockWords;
        *word ^= std::uint64_t{1} << (bit & 63);
        m_flip = InjectedFlip{true, reinterpret_cast<std::uintptr_t>(word), bit & 63, held, slot, m_records[slot].writer};
        m_flipped.store(true, std::memory_order_release);
        m_states[slot].store(Occupied, std::memory_order_release);
        return true;
    }
    return false;
}

InjectedFlip MemoryArena::LastFlip() const { return m_flipped.load(std::memory_order_acquire) ? m_flip : InjectedFlip{}; }

void MemoryArena::RetireTail() {
    const std::size_t active = m_activeSlots.load();
    if (m_releasedFrom <= active) return;
    bool all = true;
    for (std::size_t slot = active; slot < m_releasedFrom; ++slot) {
        std::uint32_t seen = m_states[slot].load();
        if (seen == Retired) continue;
        const bool idle = seen == Free || seen == Unfilled || seen == Occupied;
        if (idle && m_states[slot].compare_exchange_strong(seen, Retired)) {
            if (seen == Occupied) m_blocks.fetch_sub(1);
        } else {
            all = false;  // in a worker's hands: retired at the next call
        }
    }
    if (!all) return;
    ReleaseBufferRange(m_buffer, active * kBlockBytes, (m_releasedFrom - active) * kBlockBytes);
    m_releasedFrom = active;
}

void MemoryArena::KeepFreeShare() {
    const std::size_t active = m_activeSlots.load();
    const std::size_t wanted = std::max<std::size_t>(1, active / kFreeShareDivisor);
    std::size_t free = 0;
    for (std::size_t slot = 0; slot < active; ++slot) free += m_states[slot].load() == Free;
    // Blocks dropped from the end of the remaining part, so that workers still find free places.
    for (std::size_t slot = active; slot-- > 0 && free < wanted;) {
        std::uint32_t seen = Occupied;
        if (m_states[slot].compare_exchange_strong(seen, Free)) {
            m_blocks.fetch_sub(1);
            ++free;
        }
    }
}

GuardOutcome MemoryArena::Guard(std::uint64_t availableBytes, std::uint64_t marginBytes, std::uint64_t minimumBytes) {
    GuardOutcome outcome;
    RetireTail();
    const std::size_t active = m_activeSlots.load();
    outcome.fromBytes = outcome.toBytes = active * kBlockBytes;
    if (active == 0) return outcome;
    const std::size_t filled = static_cast<std::size_t>(std::min<std::uint64_t>(m_fillNext.load(), m_slots));
    const std::uint64_t untouched = active > filled ? (active - filled) * kBlockBytes : 0;
    const std::uint64_t room = availableBytes > untouched ? availableBytes - untouched : 0;
    if (room >= marginBytes / 2) return outcome;
    // What is missing to half the margin, and a sixteenth of the buffer more, so that a program
    // that keeps growing is answered step by step rather than every second.
    const std::uint64_t cut = (marginBytes / 2 - room + kBlockBytes - 1) / kBlockBytes + active / kFreeShareDivisor;
    std::size_t remaining = active > cut ? active - static_cast<std::size_t>(cut) : 0;
    if (remaining * kBlockBytes < minimumBytes || remaining < 2) remaining = 0;
    m_activeSlots.store(remaining);
    RetireTail();
    if (remaining > 0) KeepFreeShare();
    outcome.action = remaining > 0 ? GuardOutcome::Action::Shrunk : GuardOutcome::Action::Stopped;
    outcome.toBytes = remaining * kBlockBytes;
    return outcome;
}
