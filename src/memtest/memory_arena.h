#pragma once
// The memory load's buffer, shared by every worker: blocks of 256 KiB filled with patterns, each with
// its checksum and the processor that wrote it kept beside it. Workers fill it, then copy blocks to
// free places in sweeps: a sweep visits every slot once in an order of its own, so every block is
// read (its checksum verified) at least once per sweep, mostly by a processor other than the one
// that wrote it. Lock-free: each slot's state is claimed with a compare-and-swap.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "load/load_kernel.h"
#include "memtest/block_copy.h"
#include "memtest/patterns.h"
#include "platform/large_buffer.h"

// Large enough that a copy streams from memory as a long memcpy does (at 64 KiB the start of each
// block costs a fifth of the bandwidth), small enough that a pass handles hundreds.
inline constexpr std::size_t kBlockBytes = 256 * 1024;
inline constexpr std::size_t kBlockWords = kBlockBytes / 8;

// What the writer of a block leaves beside it.
struct BlockRecord {
    BlockChecksum checksum;
    std::uint64_t seed = 0;
    PatternKind pattern = PatternKind::Random;
    std::int32_t writer = -1;  // the processor that wrote it last
    std::uint64_t copies = 0;
};

// A stretch of one worker's work.
struct ArenaWork {
    std::uint64_t blocksWritten = 0;   // filled with a pattern
    std::uint64_t blocksVerified = 0;  // read with their checksum verified (and copied, mostly)
    std::uint64_t bytesCopied = 0;
    std::uint64_t crossReads = 0;      // verified blocks that another processor had written
    bool mismatch = false;             // the first block whose checksum differed ends the stretch
    WordMismatch where;
    std::uint64_t expected = 0;  // the wrong word's value (or the checksum lane's, when no word differed)
    std::uint64_t obtained = 0;
    std::uint64_t ticket = 0;    // the sweep ticket that found it
};

// A bit flipped on purpose (fault injection).
struct InjectedFlip {
    bool done = false;
    std::uint64_t address = 0;
    int bit = 0;
    std::uint64_t ticket = 0;  // the sweep cursor when it was flipped
    std::size_t slot = 0;
    int writer = -1;           // the processor that had written the block
};

// What the memory guard did about the available memory.
struct GuardOutcome {
    enum class Action { Kept, Shrunk, Stopped } action = Action::Kept;
    std::uint64_t fromBytes = 0;
    std::uint64_t toBytes = 0;
};

class MemoryArena {
public:
    // bytes is rounded down to whole blocks; false with the system's reason when it refuses.
    static std::shared_ptr<MemoryArena> Create(std::size_t bytes, std::string* error, CopyPath path = WidestCopyPath());
    ~MemoryArena();
    MemoryArena(const MemoryArena&) = delete;
    MemoryArena& operator=(const MemoryArena&) = delete;

    // Up to blocks blocks of work for a worker on processor: filling while any slot is unfilled,
    // then copying in sweeps. random is the worker's own generator state. Stops at the first block
    // whose checksum differs, names its first wrong word and writes the block afresh.
    ArenaWork Work(std::size_t blocks, int processor, std::uint64_t* random);

    // Flips bit of a word in a block the current sweep has yet to reach (fault injection). False
    // when no block is there to flip.
    bool FlipBit(int bit, std::uint64_t* random);
    InjectedFlip LastFlip() const;

    // Shrinks the buffer when the memory left to the system (available, less what the fill has
    // still to touch) falls below half of margin: by what is missing, and a sixteenth of itself
    // more; stops it (nothing left in use) when it would fall below minimum. Called about once a
    // second by the run.
    GuardOutcome Guard(std::uint64_t availableBytes, std::uint64_t marginBytes, std::uint64_t minimumBytes);
    bool Stopped() const { return m_activeSlots.load() == 0; }

    std::size_t SlotCount() const { return m_slots; }
    std::size_t ActiveBytes() const { return m_activeSlots.load() * kBlockBytes; }
    std::size_t Bytes() const { return m_slots * kBlockBytes; }
    bool Filled() const { return m_fillNext.load() >= m_slots; }
    std::uint64_t SweepTickets() const { return m_cursor.load(); }
    double Sweeps() const { return static_cast<double>(m_cursor.load()) / static_cast<double>(m_slots); }
    std::uint64_t Blocks() const { return m_blocks.load(); }
    const LargeBuffer& Buffer() const { return m_buffer; }
    CopyPath Path() const { return m_path; }
    // The block record of slot (tests).
    const BlockRecord& Record(std::size_t slot) const { return m_records[slot]; }
    std::uint64_t* SlotWords(std::size_t slot) const {
        return reinterpret_cast<std::uint64_t*>(m_buffer.base + slot * kBlockBytes);
    }
    // The slot the sweep visits at position within sweep (every slot once per sweep).
    std::size_t SlotAt(std::uint64_t sweep, std::size_t position) const;

private:
    enum SlotState : std::uint32_t { Unfilled, Free, Occupied, Busy, Held, Retired };
    explicit MemoryArena(CopyPath path) : m_path(path) {}

    bool FillOne(int processor, ArenaWork* work);
    // One ticket of the sweep: false when its slot held no block to copy.
    bool CopyOne(int processor, std::uint64_t* random, ArenaWork* work);
    long PickFree(std::uint64_t* random);
    void WriteBlock(std::size_t slot, PatternKind pattern, std::uint64_t seed, int processor);
    void Diagnose(const std::uint64_t* source, const std::uint64_t* copy, const BlockRecord& record,
                  const BlockChecksum& obtained, ArenaWork* work) const;
    void RetireTail();
    void KeepFreeShare();

    LargeBuffer m_buffer;
    CopyPath m_path;
    std::size_t m_slots = 0;
    std::unique_ptr<std::atomic<std::uint32_t>[]> m_states;
    std::unique_ptr<BlockRecord[]> m_records;
    std::atomic<std::size_t> m_activeSlots{0};
    std::size_t m_releasedFrom = 0;  // slots from here on are given back (the guard's, one thread)
    std::atomic<std::uint64_t> m_fillNext{0};
    std::atomic<std::uint64_t> m_cursor{0};
    std::atomic<std::uint64_t> m_blocks{0};
    std::atomic<bool> m_flipped{false};
    InjectedFlip m_flip;
};
