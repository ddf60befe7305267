// The memory load against memcpy, on buffers of the same size with the same thread count:
// - CopyAgainstMemcpy: in each iteration the threads first memcpy (each thread one half of its part
//   of a buffer onto the other half, in one call, as a large copy is done), then run the memory
//   load's passes over a filled buffer of the same size for about as long; the counters give both
//   bandwidths (bytes copied a second) and their ratio, measured in the same run.
// - SweepTime: the wall time of one sweep (every block of the buffer verified once).
// Threads are pinned like Ferrox's workers. The buffer is 1 GiB (FERROX_BENCH_MEMORY_MIB to change).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "load/placement.h"
#include "memtest/memory_arena.h"
#include "memtest/memory_kernel.h"
#include "platform/large_buffer.h"
#include "platform/processors.h"

namespace {

using Clock = std::chrono::steady_clock;

std::size_t BufferBytes() {
    const char* text = std::getenv("FERROX_BENCH_MEMORY_MIB");
    const long mib = text != nullptr ? std::atol(text) : 1024;
    return static_cast<std::size_t>(std::max(64L, mib)) << 20;
}

// Runs work(thread) on threads pinned in Ferrox's placement order; returns the wall seconds.
double OnThreads(int threads, const std::function<void(int)>& work) {
    const std::vector<int> order = SpreadOrder(AllowedProcessors());
    std::vector<std::thread> running;
    const Clock::time_point start = Clock::now();
    for (int thread = 0; thread < threads; ++thread) {
        running.emplace_back([&, thread] {
            PinCurrentThread(order[static_cast<std::size_t>(thread) % order.size()]);
            work(thread);
        });
    }
    for (std::thread& thread : running) thread.join();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Buffers {
    LargeBuffer plain;
    std::shared_ptr<MemoryArena> arena;
    Buffers() {
        std::string error;
        if (!AllocateLargeBuffer(BufferBytes(), &plain, &error)) std::abort();
        std::memset(plain.base, 1, plain.bytes);
        arena = MemoryArena::Create(BufferBytes(), &error);
        if (arena == nullptr) std::abort();
        std::uint64_t random = 1;
        OnThreads(2, [&](int thread) {
            std::uint64_t own = random + static_cast<std::uint64_t>(thread);
            while (!arena->Filled()) arena->Work(64, CurrentProcessor(), &own);
        });
    }
    ~Buffers() { FreeLargeBuffer(&plain); }
};

Buffers& Shared() {
    static Buffers buffers;
    return buffers;
}

void CopyAgainstMemcpy(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    Buffers& buffers = Shared();
    double memcpyBytes = 0, memcpySeconds = 0, loadBytes = 0, loadSeconds = 0;
    for (auto _ : state) {
        const std::size_t part = buffers.plain.bytes / static_cast<std::size_t>(threads) / 2 / 4096 * 4096;
        const int rounds = 4;
        memcpySeconds += OnThreads(threads, [&](int thread) {
            unsigned char* from = buffers.plain.base + 2 * part * static_cast<std::size_t>(thread);
            for (int round = 0; round < rounds; ++round) {
                std::memcpy(round % 2 ? from : from + part, round % 2 ? from + part : from, part);
                benchmark::ClobberMemory();
            }
        });
        memcpyBytes += static_cast<double>(part) * rounds * threads;
        // The same number of bytes through the memory load, in its passes.
        const std::size_t blocks = part * rounds / kBlockBytes;
        std::atomic<std::uint64_t> copied{0};
        loadSeconds += OnThreads(threads, [&](int thread) {
            std::uint64_t random = 7 + static_cast<std::uint64_t>(thread);
            std::uint64_t mine = 0;
            while (mine < blocks * kBlockBytes) {
                const ArenaWork work = buffers.arena->Work(kMemoryPassBlocks, CurrentProcessor(), &random);
                if (work.mismatch) std::abort();
                mine += work.bytesCopied;
            }
            copied += mine;
        });
        loadBytes += static_cast<double>(copied.load());
    }
    const double memcpyRate = memcpyBytes / memcpySeconds, loadRate = loadBytes / loadSeconds;
    state.counters["memcpy_GBps"] = memcpyRate * 1e-9;
    state.counters["memory_load_GBps"] = loadRate * 1e-9;
    state.counters["ratio"] = loadRate / memcpyRate;
    state.counters["buffer_MiB"] = static_cast<double>(buffers.plain.bytes >> 20);
    state.SetLabel(CopyPathName(buffers.arena->Path()));
}

// The copy alone, without the buffer's bookkeeping: random 64 KiB blocks of one half of each
// thread's part copied to random places in the other, by the memory load's copy (range 1) or by
// memcpy (range 0), to see what the bookkeeping costs and what memcpy does with blocks this size.
void BlockCopies(benchmark::State& state) {
    const int threads = 2;
    const bool checked = state.range(0) != 0;
    Buffers& buffers = Shared();
    double bytes = 0, seconds = 0;
    const CopyPath path = WidestCopyPath();
    for (auto _ : state) {
        const std::size_t part = buffers.plain.bytes / threads / 2 / kBlockBytes;
        seconds += OnThreads(threads, [&](int thread) {
            auto* base = reinterpret_cast<std::uint64_t*>(buffers.plain.base + 2 * part * kBlockBytes * static_cast<std::size_t>(thread));
            std::uint64_t random = 5 + static_cast<std::uint64_t>(thread);
            for (std::size_t copy = 0; copy < 4 * part; ++copy) {
                random = MixBits(random);
                const std::uint64_t* from = base + (random % part) * kBlockWords;
                std::uint64_t* to = base + (part + (random >> 32) % part) * kBlockWords;
                if (checked) {
                    benchmark::DoNotOptimize(CopyWithChecksum(path, from, to, kBlockWords));
                } else {
                    std::memcpy(to, from, kBlockBytes);
                    benchmark::ClobberMemory();
                }
            }
        });
        bytes += static_cast<double>(4 * part * kBlockBytes) * threads;
    }
    state.counters["GBps"] = bytes / seconds * 1e-9;
    state.SetLabel(checked ? std::string("checked copy, ") + CopyPathName(path) : "memcpy");
}

void SweepTime(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    Buffers& buffers = Shared();
    for (auto _ : state) {
        const std::uint64_t end = buffers.arena->SweepTickets() + buffers.arena->SlotCount();
        const double seconds = OnThreads(threads, [&](int thread) {
            std::uint64_t random = 11 + static_cast<std::uint64_t>(thread);
            while (buffers.arena->SweepTickets() < end) buffers.arena->Work(16, CurrentProcessor(), &random);
        });
        state.SetIterationTime(seconds);
    }
    state.counters["buffer_MiB"] = static_cast<double>(buffers.arena->Bytes() >> 20);
}

}  // namespace

BENCHMARK(CopyAgainstMemcpy)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BlockCopies)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(SweepTime)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
