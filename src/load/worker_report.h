#pragma once
// What a worker reports while it runs, without locks: counters and the processor it ran on
// (written by the worker alone, read by anyone), and a queue of events for the run object to log
// (one producer, the worker; one consumer).

#include <array>
#include <atomic>
#include <cstdint>

#include "check/check_parts.h"
#include "load/load_kernel.h"

enum class WorkerEventKind : int {
    CheckFailed,     // a check part's digest differed (a wide kernel's pass: part KernelState)
    Crashed,         // a hardware fault (invalid memory access, illegal instruction...) in its work
    PinRefused,      // the system refused to keep the worker on a processor
    WordMismatch,    // a word of the cache or memory load differed (expected, obtained, mismatch)
};

struct WorkerEvent {
    WorkerEventKind kind = WorkerEventKind::CheckFailed;
    double seconds = 0.0;  // GetSeconds() when it happened
    unsigned worker = 0;
    int processor = -1;     // the logical processor the work ran on (at its start), or the one refused
    int endProcessor = -1;  // where the work ended, when it moved during it; -1: it did not
    CheckPart part = CheckPart::X87Chain;
    std::uint64_t expected = 0;
    std::uint64_t obtained = 0;
    const char* faultName = "";    // Crashed: what the processor raised (a static text)
    std::uint64_t faultAddress = 0;  // Crashed: the address an invalid access touched
    int kernel = -1;                 // WordMismatch: the LoadKernelKind that found it
    WordMismatch mismatch;           // WordMismatch: where, and who wrote and read the word
};

// Single producer, single consumer; a full queue drops the newest event and counts it.
class WorkerEventQueue {
public:
    static constexpr std::size_t kCapacity = 32;

    bool Push(const WorkerEvent& event) {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        if (tail - m_head.load(std::memory_order_acquire) == kCapacity) {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        m_events[tail % kCapacity] = event;
        m_tail.store(tail + 1, std::memory_order_release);
        return true;
    }

    bool Pop(WorkerEvent* event) {
        const std::size_t head = m_head.load(std::memory_order_relaxed);
        if (head == m_tail.load(std::memory_order_acquire)) return false;
        *event = m_events[head % kCapacity];
        m_head.store(head + 1, std::memory_order_release);
        return true;
    }

    std::uint64_t Dropped() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    std::array<WorkerEvent, kCapacity> m_events{};
    std::atomic<std::size_t> m_head{0};
    std::atomic<std::size_t> m_tail{0};
    std::atomic<std::uint64_t> m_dropped{0};
};

enum class WorkerState : int {
    Starting,  // before its first pass
    Loading,   // running passes
    Failed,    // stopped loading after an error (stop on error)
    Ended,     // returned
    Hung,      // stopped responding: used processor time for long without finishing a pass
};

struct WorkerReport {
    std::atomic<WorkerState> state{WorkerState::Starting};
    std::atomic<int> processor{-1};  // where it ran at its last pass end
    std::atomic<int> passProcessor{-1};  // where its current (or last) pass started
    std::atomic<int> kernel{-1};     // the LoadKernelKind it runs
    std::atomic<std::uint64_t> passes{0};
    std::atomic<std::uint64_t> checks{0};   // checks that passed
    std::atomic<std::uint64_t> errors{0};   // checks that failed
    std::atomic<std::uint64_t> loadedNanoseconds{0};  // processor time spent in passes
    std::atomic<double> coreClockHz{0.0};  // the last effective-clock probe
    std::atomic<std::uint64_t> restarts{0};  // fresh starts of its kernel after a hardware fault
    std::atomic<std::uint64_t> bytesVerified{0};   // cache and memory loads: bytes verified (copied)
    std::atomic<std::uint64_t> blocksVerified{0};  // memory load: blocks whose checksum was verified
    WorkerEventQueue events;
};

// Per logical processor, shared by every worker that runs there (relaxed atomic updates).
struct ProcessorTally {
    std::atomic<std::uint64_t> checks{0};
    std::atomic<std::uint64_t> errors{0};
    std::atomic<std::uint64_t> loadedNanoseconds{0};
    std::atomic<double> firstErrorSeconds{-1.0};  // GetSeconds() of its first error; -1: none
    std::atomic<double> coreClockHz{0.0};         // the last probe on it
    std::atomic<bool> failed{false};              // a worker stopped loading here after an error
};
