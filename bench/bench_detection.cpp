// What a worker's checking costs and gives, per kernel:
// - checked share: the part of a worker's processor time spent on arithmetic whose results are
//   compared with known answers. The wide kernels compare every pass; the classic mixes drop their
//   arithmetic, so only the check between passes (every 0.25 s) counts.
// - detection latency: from the start of a pass with a wrong bit (FERROX_INJECT_FAULT's
//   kind=kernel) to the error in the worker's queue, against the length of a pass.
// Times are the thread's processor time (the check) or wall time (the latency), as ratios of one
// run, since the machines are shared and noisy.

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <vector>

#include "check/check_suite.h"
#include "check/fault_injection.h"
#include "load/load_workers.h"
#include "load/seconds_clock.h"
#include "load/sse_kernel.h"
#include "load/wide_kernels.h"
#include "load/x87_kernel.h"
#include "platform/clock.h"
#include "platform/processors.h"

namespace {

double ThreadSeconds() {
    LONGLONG nanoseconds = 0;
    QueryCurrentThreadCpuTime(&nanoseconds);
    return static_cast<double>(nanoseconds) * 1e-9;
}

std::unique_ptr<LoadKernel> MakeKernel(LoadKernelKind kind) {
    switch (kind) {
    case LoadKernelKind::Sse: return std::make_unique<SseLoadKernel>();
    case LoadKernelKind::X87: return std::make_unique<X87LoadKernel>();
    default: return MakeWideKernel(kind);
    }
}

bool Runs(LoadKernelKind kind) {
    const ProcessorTraits traits = ReadProcessorTraits();
    return kind == LoadKernelKind::Sse || kind == LoadKernelKind::X87 || (kind == LoadKernelKind::Fma && traits.avx2Fma) ||
           (kind == LoadKernelKind::Avx512 && traits.avx512);
}

// One pass, then the check a worker makes between passes (the suite and the kernel's state), each
// timed on the thread's processor clock.
void BM_CheckedShare(benchmark::State& state) {
    const auto kind = static_cast<LoadKernelKind>(state.range(0));
    if (!Runs(kind)) {
        state.SkipWithError("this processor or system cannot run the kernel");
        return;
    }
    std::unique_ptr<LoadKernel> kernel = MakeKernel(kind);
    auto area = std::make_unique<std::uint64_t[]>(kCheckAreaWords);
    double passSeconds = 0, checkSeconds = 0;
    for (auto _ : state) {
        const double start = ThreadSeconds();
        benchmark::DoNotOptimize(kernel->RunPass());
        const double passed = ThreadSeconds();
        CheckFailure failure;
        benchmark::DoNotOptimize(RunCheckSuite(area.get(), &failure));
        std::uint64_t obtained = 0, expected = 0;
        benchmark::DoNotOptimize(kernel->StateDigest(&obtained, &expected));
        checkSeconds += ThreadSeconds() - passed;
        passSeconds += passed - start;
    }
    const double passes = static_cast<double>(state.iterations());
    const double pass = passSeconds / passes, check = checkSeconds / passes;
    // A worker runs passes for 0.25 s, then one check.
    const double passesPerCheck = std::max(1.0, LoadWorkers::kCheckIntervalSeconds / pass);
    const double checked = kernel->SelfChecked() ? passesPerCheck * pass + check : check;
    state.counters["pass_ms"] = 1e3 * pass;
    state.counters["check_us"] = 1e6 * check;
    state.counters["checked_percent"] = 100.0 * checked / (passesPerCheck * pass + check);
    state.SetLabel(LoadKernelName(kind));
}
BENCHMARK(BM_CheckedShare)
    ->Arg(static_cast<int>(LoadKernelKind::Sse))
    ->Arg(static_cast<int>(LoadKernelKind::X87))
    ->Arg(static_cast<int>(LoadKernelKind::Fma))
    ->Arg(static_cast<int>(LoadKernelKind::Avx512))
    ->Unit(benchmark::kMillisecond);

struct PassStarts {
    std::atomic<int> count{0};
    double seconds[8] = {};
};

void RecordPassStart(LoadWorkers&, void* context) {
    auto* starts = static_cast<PassStarts*>(context);
    const int index = starts->count.fetch_add(1);
    if (index < 8) starts->seconds[index] = static_cast<double>(GetSeconds());
}

// A worker whose third pass gets a wrong bit: the time from that pass's start to its error, and
// the length of the passes before it.
void BM_DetectionLatency(benchmark::State& state) {
    const auto kind = static_cast<LoadKernelKind>(state.range(0));
    if (!Runs(kind)) {
        state.SkipWithError("this processor or system cannot run the kernel");
        return;
    }
    const int processor = AllowedProcessors().front().processor;
    double latency = 0, passLength = 0;
    for (auto _ : state) {
        FaultInjector injector(FaultPlan{processor, 2, FaultKind::KernelBit, 0});
        PassStarts starts;
        LoadWorkers workers;
        workers.SetLoadChoice(kind == LoadKernelKind::Avx512 ? LoadChoice::Avx512 : LoadChoice::Avx2Fma);
        workers.SetFaultInjector(&injector);
        workers.SetPassObserver(RecordPassStart, &starts);
        workers.StartWorkers(1);
        WorkerEvent event;
        for (bool found = false; !found;) {
            Sleep(1);
            for (const auto& context : workers.ContextsInUse()) found = found || context->report.events.Pop(&event);
        }
        latency += event.seconds - starts.seconds[2];
        passLength += starts.seconds[2] - starts.seconds[1];
        workers.StopWorkers();
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["latency_ms"] = 1e3 * latency / runs;
    state.counters["pass_ms"] = 1e3 * passLength / runs;
    state.counters["latency_in_passes"] = latency / passLength;
    state.SetLabel(LoadKernelName(kind));
}
BENCHMARK(BM_DetectionLatency)
    ->Arg(static_cast<int>(LoadKernelKind::Fma))
    ->Arg(static_cast<int>(LoadKernelKind::Avx512))
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// Ending a run with 16 workers on however many processors there are: every quit is posted at
// once and the workers end together, within about one pass each, not one after another.
void BM_StopSixteenWorkers(benchmark::State& state) {
    double stopSeconds = 0, passSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        LoadWorkers workers;
        workers.StartWorkers(16);
        // Every worker past its first pass, so the stop meets them inside ordinary passes.
        for (bool started = false; !started;) {
            Sleep(10);
            started = true;
            for (unsigned slot = 0; slot < 16; ++slot)
                if (const WorkerContext* worker = workers.Context(slot)) started = started && worker->report.passes.load() > 0;
        }
        double loaded = 0, passes = 0;
        for (unsigned slot = 0; slot < 16; ++slot) {
            if (const WorkerContext* worker = workers.Context(slot)) {
                loaded += static_cast<double>(worker->report.loadedNanoseconds.load()) * 1e-9;
                passes += static_cast<double>(worker->report.passes.load());
            }
        }
        state.ResumeTiming();
        const double start = static_cast<double>(GetSeconds());
        workers.StopAllWorkers(5000);
        stopSeconds += static_cast<double>(GetSeconds()) - start;
        passSeconds += loaded / passes;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["stop_ms"] = 1e3 * stopSeconds / runs;
    state.counters["pass_cpu_ms"] = 1e3 * passSeconds / runs;
    // A pass of 16 workers sharing the machine's processors takes this many passes' wall time.
    state.counters["processors"] = static_cast<double>(AllowedProcessors().size());
}
BENCHMARK(BM_StopSixteenWorkers)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
