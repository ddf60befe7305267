// One pass of each load kernel on one thread: time-stamp counter cycles per loop iteration, and
// floating-point operations per core cycle against the core's peak. The time-stamp counter does
// not run at the core clock, so core cycles are the pass's thread processor time times the clock
// that MeasureCoreClockHz reads just before and just after it.

#include <benchmark/benchmark.h>
#include <x86intrin.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "load/avx512_kernel.h"
#include "load/core_clock.h"
#include "load/fma_kernel.h"
#include "load/sse_kernel.h"
#include "load/vector_support.h"
#include "load/x87_kernel.h"
#include "platform/clock.h"

namespace {

// Double-precision operations a cycle when every FMA unit starts an FMA every cycle: two units of
// four lanes (Zen 2 to 4, Intel since Haswell) at 256 bits, two of eight at 512 bits (Intel's
// server cores; Zen 4 and one-unit Intel parts have half).
constexpr double kPeakFlopsPerCycle256 = 2 * 4 * 2;
constexpr double kPeakFlopsPerCycle512 = 2 * 8 * 2;

// Floating-point operations one loop iteration of each kernel asks for. SSE kernel: 16 groups of
// one x87 add, multiply or subtract and one scalar SSE multiply. x87 kernel: two fadds, two
// fmuls, two fsubp and two fmulp. The wide kernels: 96 FMAs an iteration, two operations a lane.
constexpr double kSseFlopsPerIteration = 16 * 2;
constexpr double kX87FlopsPerIteration = 8;
constexpr double kFmaFlopsPerIteration = FmaKernelData::kFmasPerIteration * FmaKernelData::kLanes * 2.0;
constexpr double kAvx512FlopsPerIteration = Avx512KernelData::kFmasPerIteration * Avx512KernelData::kLanes * 2.0;

// Core cycles of the passes timed through it.
class CoreCycleMeter {
public:
    template <class Pass>
    void Time(Pass&& pass) {
        const double clockBefore = MeasureCoreClockHz();
        LONGLONG start = 0, end = 0;
        QueryCurrentThreadCpuTime(&start);
        pass();
        QueryCurrentThreadCpuTime(&end);
        const double clockHz = (clockBefore + MeasureCoreClockHz()) / 2;
        const double seconds = static_cast<double>(end - start) * 1e-9;
        m_cycles += seconds * clockHz;
        m_seconds += seconds;
        ++m_passes;
    }

    double FlopsPerCycle(double flopsPerPass) const { return m_cycles > 0 ? flopsPerPass * m_passes / m_cycles : 0; }

    void Report(benchmark::State& state, double flopsPerPass, double peakFlopsPerCycle) const {
        if (m_passes == 0 || m_cycles <= 0) return;
        const double flopsPerCycle = FlopsPerCycle(flopsPerPass);
        state.counters["flops_per_core_cycle"] = flopsPerCycle;
        state.counters["percent_of_peak"] = 100 * flopsPerCycle / peakFlopsPerCycle;
        state.counters["pass_cpu_ms"] = 1e3 * m_seconds / m_passes;
        state.counters["core_mhz"] = m_cycles / m_seconds * 1e-6;
    }

private:
    double m_cycles = 0;
    double m_seconds = 0;
    int m_passes = 0;
};

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
    CoreCycleMeter meter;
    const std::clock_t cpuStart = std::clock();
    for (auto _ : state) {
        const std::uint64_t start = __rdtsc();
        meter.Time([&] { RunSseKernelPass(workArea, v0, v1, kSsePassIterations); });
        cycles += __rdtsc() - start;
        benchmark::DoNotOptimize(workArea[6]);
    }
    SetCycleCounters(state, cycles, std::clock() - cpuStart, static_cast<double>(kSsePassIterations), 16);
    meter.Report(state, kSseFlopsPerIteration * kSsePassIterations, kPeakFlopsPerCycle256);
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
    CoreCycleMeter meter;
    const std::clock_t cpuStart = std::clock();
    for (auto _ : state) {
        const std::uint64_t start = __rdtsc();
        meter.Time([&] { RunX87KernelPass(a, b, &passLength, &step); });
        cycles += __rdtsc() - start;
    }
    SetCycleCounters(state, cycles, std::clock() - cpuStart, static_cast<double>(kX87PassIterations), 1);
    meter.Report(state, kX87FlopsPerIteration * kX87PassIterations, kPeakFlopsPerCycle256);
}
BENCHMARK(BM_X87KernelPass)->Unit(benchmark::kMillisecond);

void BM_FmaKernelPass(benchmark::State& state) {
    if (!CanRunFmaKernel()) {
        state.SkipWithError("this processor or system cannot run the AVX2 + FMA kernel");
        return;
    }
    auto data = std::make_unique<FmaKernelData>();
    InitFmaKernelData(data.get());
    CoreCycleMeter meter;
    for (auto _ : state) meter.Time([&] { RunFmaKernelPass(data.get()); });
    if (FmaKernelDigest(*data) != kFmaKernelPassDigest) state.SkipWithError("the pass gave the wrong digest");
    meter.Report(state, kFmaFlopsPerIteration * kFmaKernelPassIterations, kPeakFlopsPerCycle256);
}
BENCHMARK(BM_FmaKernelPass)->Unit(benchmark::kMillisecond);

// The check a worker makes after every pass, against the pass itself (BM_FmaKernelPass).
void BM_FmaKernelDigest(benchmark::State& state) {
    auto data = std::make_unique<FmaKernelData>();
    InitFmaKernelData(data.get());
    for (auto _ : state) benchmark::DoNotOptimize(FmaKernelDigest(*data));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(sizeof(FmaKernelData)));
}
BENCHMARK(BM_FmaKernelDigest)->Unit(benchmark::kMicrosecond);

// What the FMA units give on this machine with nothing else in the way, measured the same way: 12
// independent chains of register-only 256-bit FMAs. The AVX2 + FMA kernel's share of this is its
// share of the peak free of the clock probe's errors.
__attribute__((target("avx2,fma")))
void RunRegisterFmaLoop(std::int64_t loops) {
#define FERROX_BENCH_FMA(k) "vfmadd213pd %%ymm13, %%ymm12, %%ymm" #k "\n\t"
    asm volatile(
        "vxorpd %%xmm12, %%xmm12, %%xmm12\n\t"
        "vxorpd %%xmm13, %%xmm13, %%xmm13\n"
        "1:\n\t"
        FERROX_BENCH_FMA(0) FERROX_BENCH_FMA(1) FERROX_BENCH_FMA(2) FERROX_BENCH_FMA(3) FERROX_BENCH_FMA(4)
        FERROX_BENCH_FMA(5) FERROX_BENCH_FMA(6) FERROX_BENCH_FMA(7) FERROX_BENCH_FMA(8) FERROX_BENCH_FMA(9)
        FERROX_BENCH_FMA(10) FERROX_BENCH_FMA(11)
        "dec %[loops]\n\t"
        "jnz 1b\n\t"
        "vzeroupper\n\t"
        : [loops] "+r"(loops)
        :
        : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11",
          "xmm12", "xmm13", "cc");
#undef FERROX_BENCH_FMA
}

// As many FMAs as a kernel pass.
constexpr std::int64_t kRegisterFmaLoops = kFmaKernelPassIterations * FmaKernelData::kFmasPerIteration / 12;
constexpr double kRegisterFmaLoopFlops = kRegisterFmaLoops * 12 * 4 * 2.0;

void BM_RegisterFmaLoop(benchmark::State& state) {
    if (!CanRunFmaKernel()) {
        state.SkipWithError("this processor or system cannot run AVX2 + FMA");
        return;
    }
    CoreCycleMeter meter;
    for (auto _ : state) meter.Time([] { RunRegisterFmaLoop(kRegisterFmaLoops); });
    meter.Report(state, kRegisterFmaLoopFlops, kPeakFlopsPerCycle256);
}
BENCHMARK(BM_RegisterFmaLoop)->Unit(benchmark::kMillisecond);

// A kernel pass and the register loop in turn, so the machine's other load weighs on both alike:
// the kernel's flops per cycle as a share of the loop's.
void BM_FmaKernelAgainstRegisterLoop(benchmark::State& state) {
    if (!CanRunFmaKernel()) {
        state.SkipWithError("this processor or system cannot run the AVX2 + FMA kernel");
        return;
    }
    auto data = std::make_unique<FmaKernelData>();
    InitFmaKernelData(data.get());
    CoreCycleMeter kernel, loop;
    for (auto _ : state) {
        kernel.Time([&] { RunFmaKernelPass(data.get()); });
        loop.Time([] { RunRegisterFmaLoop(kRegisterFmaLoops); });
    }
    const double kernelFlops = kernel.FlopsPerCycle(kFmaFlopsPerIteration * kFmaKernelPassIterations);
    const double loopFlops = loop.FlopsPerCycle(kRegisterFmaLoopFlops);
    state.counters["kernel_flops_per_core_cycle"] = kernelFlops;
    state.counters["loop_flops_per_core_cycle"] = loopFlops;
    if (loopFlops > 0) state.counters["kernel_percent_of_loop"] = 100 * kernelFlops / loopFlops;
}
BENCHMARK(BM_FmaKernelAgainstRegisterLoop)->Unit(benchmark::kMillisecond);

// The AVX-512 counterpart of RunRegisterFmaLoop: 24 independent chains of register-only 512-bit
// FMAs, the peak the AVX-512 kernel is measured against.
__attribute__((target("avx512f")))
void RunRegisterAvx512Loop(std::int64_t loops) {
#define FERROX_BENCH_FMA(k) "vfmadd213pd %%zmm25, %%zmm24, %%zmm" #k "\n\t"
    asm volatile(
        "vpxord %%zmm24, %%zmm24, %%zmm24\n\t"
        "vpxord %%zmm25, %%zmm25, %%zmm25\n"
        "1:\n\t"
        FERROX_BENCH_FMA(0) FERROX_BENCH_FMA(1) FERROX_BENCH_FMA(2) FERROX_BENCH_FMA(3) FERROX_BENCH_FMA(4)
        FERROX_BENCH_FMA(5) FERROX_BENCH_FMA(6) FERROX_BENCH_FMA(7) FERROX_BENCH_FMA(8) FERROX_BENCH_FMA(9)
        FERROX_BENCH_FMA(10) FERROX_BENCH_FMA(11) FERROX_BENCH_FMA(12) FERROX_BENCH_FMA(13) FERROX_BENCH_FMA(14)
        FERROX_BENCH_FMA(15) FERROX_BENCH_FMA(16) FERROX_BENCH_FMA(17) FERROX_BENCH_FMA(18) FERROX_BENCH_FMA(19)
        FERROX_BENCH_FMA(20) FERROX_BENCH_FMA(21) FERROX_BENCH_FMA(22) FERROX_BENCH_FMA(23)
        "dec %[loops]\n\t"
        "jnz 1b\n\t"
        "vpxord %%zmm16, %%zmm16, %%zmm16\n\t"
        "vpxord %%zmm17, %%zmm17, %%zmm17\n\t"
        "vpxord %%zmm18, %%zmm18, %%zmm18\n\t"
        "vpxord %%zmm19, %%zmm19, %%zmm19\n\t"
        "vpxord %%zmm20, %%zmm20, %%zmm20\n\t"
        "vpxord %%zmm21, %%zmm21, %%zmm21\n\t"
        "vpxord %%zmm22, %%zmm22, %%zmm22\n\t"
        "vpxord %%zmm23, %%zmm23, %%zmm23\n\t"
        "vpxord %%zmm24, %%zmm24, %%zmm24\n\t"
        "vpxord %%zmm25, %%zmm25, %%zmm25\n\t"
        "vzeroupper\n\t"
        : [loops] "+r"(loops)
        :
        : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11",
          "xmm12", "xmm13", "xmm14", "xmm15", "xmm16", "xmm17", "xmm18", "xmm19", "xmm20", "xmm21", "xmm22",
          "xmm23", "xmm24", "xmm25", "cc");
#undef FERROX_BENCH_FMA
}

constexpr std::int64_t kRegisterAvx512Loops = kAvx512KernelPassIterations * Avx512KernelData::kFmasPerIteration / 24;
constexpr double kRegisterAvx512LoopFlops = kRegisterAvx512Loops * 24 * 8 * 2.0;

// As BM_FmaKernelAgainstRegisterLoop, at 512 bits.
void BM_Avx512KernelAgainstRegisterLoop(benchmark::State& state) {
    if (!CanRunAvx512Kernel()) {
        state.SkipWithError("this processor or system cannot run the AVX-512 kernel");
        return;
    }
    auto data = std::make_unique<Avx512KernelData>();
    InitAvx512KernelData(data.get());
    CoreCycleMeter kernel, loop;
    for (auto _ : state) {
        kernel.Time([&] { RunAvx512KernelPass(data.get()); });
        loop.Time([] { RunRegisterAvx512Loop(kRegisterAvx512Loops); });
    }
    const double kernelFlops = kernel.FlopsPerCycle(kAvx512FlopsPerIteration * kAvx512KernelPassIterations);
    const double loopFlops = loop.FlopsPerCycle(kRegisterAvx512LoopFlops);
    state.counters["kernel_flops_per_core_cycle"] = kernelFlops;
    state.counters["loop_flops_per_core_cycle"] = loopFlops;
    if (loopFlops > 0) state.counters["kernel_percent_of_loop"] = 100 * kernelFlops / loopFlops;
}
BENCHMARK(BM_Avx512KernelAgainstRegisterLoop)->Unit(benchmark::kMillisecond);

void BM_Avx512KernelPass(benchmark::State& state) {
    if (!CanRunAvx512Kernel()) {
        state.SkipWithError("this processor or system cannot run the AVX-512 kernel");
        return;
    }
    auto data = std::make_unique<Avx512KernelData>();
    InitAvx512KernelData(data.get());
    CoreCycleMeter meter;
    for (auto _ : state) meter.Time([&] { RunAvx512KernelPass(data.get()); });
    if (Avx512KernelDigest(*data) != kAvx512KernelPassDigest) state.SkipWithError("the pass gave the wrong digest");
    meter.Report(state, kAvx512FlopsPerIteration * kAvx512KernelPassIterations, kPeakFlopsPerCycle512);
}
BENCHMARK(BM_Avx512KernelPass)->Unit(benchmark::kMillisecond);

}  // namespace
