// One pass of each load kernel on one thread, in time-stamp counter cycles per loop iteration.

#include <benchmark/benchmark.h>
#include <x86intrin.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "load/sse_kernel.h"
#include "load/x87_kernel.h"

namespace {

// Time-stamp cycles count wall time, preemption included; on a busy machine compare them with the
// processor time per iteration, which counts only the time the thread ran.
void SetCycleCounters(benchmark::State& state, std::uint64_t cycles, std::clock_t cpuTicks, double loopIterations,
                      double groupsPerIteration) {
    const double total = loopIterations * static_cast<double>(state.iterations());
    state.counters["cpu_ns_per_iteration"] = static_cast<double>(cpuTicks) * 1e9 / CLOCKS_PER_SEC / total;
    state.counters["tsc_cycles_per_iteration"] = static_cast<double>(cycles) / total;
    if (groupsPerIteration > 1) state.counters["tsc_cycles_per_group"] = static_cast<double>(cycles) / total / groupsPerIteration;
    state.counters["iterations_per_second"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
}

void BM_SseKernelPass(benchmark::State& state) {
    auto* workArea = static_cast<double*>(std::aligned_alloc(2048, kSseWorkAreaDoubles * sizeof(double)));
    alignas(16) std::uint32_t v0[4];
    alignas(16) std::uint32_t v1[4];
    InitSseKernelData(workArea, v0, v1);
    std::uint64_t cycles = 0;
    const std::clock_t cpuStart = std::clock();
    for (auto _ : state) {
        const std::uint64_t start = __rdtsc();
        RunSseKernelPass(workArea, v0, v1, kSsePassIterations);
        cycles += __rdtsc() - start;
        benchmark::DoNotOptimize(workArea[6]);
    }
    SetCycleCounters(state, cycles, std::clock() - cpuStart, static_cast<double>(kSsePassIterations), 16);
    std::free(workArea);
}
BENCHMARK(BM_SseKernelPass)->Unit(benchmark::kMillisecond);

void BM_X87KernelPass(benchmark::State& state) {
    Matrix4 a;
    Matrix4 b;
    BuildX87KernelMatrices(&a, &b);
    const std::int32_t passLength = kX87PassIterations;
    const std::int32_t step = 1;
    std::uint64_t cycles = 0;
    const std::clock_t cpuStart = std::clock();
    for (auto _ : state) {
        const std::uint64_t start = __rdtsc();
        RunX87KernelPass(a, b, &passLength, &step);
        cycles += __rdtsc() - start;
    }
    SetCycleCounters(state, cycles, std::clock() - cpuStart, static_cast<double>(kX87PassIterations), 1);
}
BENCHMARK(BM_X87KernelPass)->Unit(benchmark::kMillisecond);

}  // namespace
