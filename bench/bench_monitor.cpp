// The monitor's costs: one sweep of every sysfs sensor (on a fake desktop tree and on this
// machine's /sys), the effective-clock probe a worker runs at each check (against one pass of the
// x87 load kernel, the work between two checks), and 24 hours of history at one sample a second.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "fake_sysfs.h"
#include "load/core_clock.h"
#include "load/x87_kernel.h"
#include "monitor/series_csv.h"
#include "monitor/sysfs_sensors.h"
#include "monitor/throttle_detector.h"
#include "monitor/time_series_store.h"

namespace {

constexpr int kDaySeconds = 24 * 60 * 60;

// Every source read once, as the monitor does each second; the argument is the processor count.
void BM_SweepFakeDesktop(benchmark::State& state) {
    FakeSysfs tree;
    WriteIntelDesktop(tree, static_cast<int>(state.range(0)));
    SysfsSensors sensors(tree.Root());
    std::size_t readings = 0;
    for (auto _ : state) {
        const std::vector<SensorReading> sweep = sensors.Sweep();
        readings = sweep.size();
        benchmark::DoNotOptimize(sweep.data());
    }
    state.counters["readings_per_sweep"] = static_cast<double>(readings);
    state.counters["readings_per_second"] =
        benchmark::Counter(static_cast<double>(readings * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SweepFakeDesktop)->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMicrosecond);

// Finding the sensors: done once per run (and on a rescan).
void BM_DiscoverFakeDesktop(benchmark::State& state) {
    FakeSysfs tree;
    WriteIntelDesktop(tree, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        SysfsSensors sensors(tree.Root());
        benchmark::DoNotOptimize(&sensors);
    }
}
BENCHMARK(BM_DiscoverFakeDesktop)->Arg(16)->Unit(benchmark::kMicrosecond);

// This machine's /sys: on a VM without sensors every source is absent and a sweep costs nothing;
// finding that out is the cost.
void BM_DiscoverRealSysfs(benchmark::State& state) {
    int available = 0;
    for (auto _ : state) {
        SysfsSensors sensors(SysfsRoot("/"));
        available = 0;
        for (MonitorSource* source : sensors.Sources()) available += source->IsAvailable() ? 1 : 0;
        benchmark::DoNotOptimize(sensors.Sweep());
    }
    state.counters["available_sources"] = available;
}
BENCHMARK(BM_DiscoverRealSysfs)->Unit(benchmark::kMicrosecond);

void BM_SweepRealSysfs(benchmark::State& state) {
    SysfsSensors sensors(SysfsRoot("/"));
    std::size_t readings = 0;
    for (auto _ : state) {
        const std::vector<SensorReading> sweep = sensors.Sweep();
        readings = sweep.size();
        benchmark::DoNotOptimize(sweep.data());
    }
    state.counters["readings_per_sweep"] = static_cast<double>(readings);
}
BENCHMARK(BM_SweepRealSysfs)->Unit(benchmark::kMicrosecond);

// The probe a worker runs at each check; its cost next to one load pass is what a check adds.
void BM_CoreClockProbe(benchmark::State& state) {
    double hertz = 0.0;
    for (auto _ : state) hertz = MeasureCoreClockHz();
    state.counters["measured_MHz"] = hertz / 1e6;
}
BENCHMARK(BM_CoreClockProbe)->Unit(benchmark::kMicrosecond);

void BM_X87KernelPass(benchmark::State& state) {
    Matrix4 a;
    Matrix4 b;
    BuildX87KernelMatrices(&a, &b);
    const std::int32_t passLength = kX87PassIterations;
    const std::int32_t step = 1;
    for (auto _ : state) RunX87KernelPass(a, b, &passLength, &step);
}
BENCHMARK(BM_X87KernelPass)->Unit(benchmark::kMicrosecond);

// A day of one series at one sample per second, decimating as it goes.
void BM_AppendDayOfSamples(benchmark::State& state) {
    std::size_t stored = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        TimeSeriesStore store;
        const auto id = store.FindOrAddSeries("Effective clock/cpu0", "CPU 0", MonitorUnit::kHertz);
        for (int second = 0; second < kDaySeconds; ++second) store.Append(id, second, 3.0e9 + (second % 97) * 1e6);
        stored = store.StoredPoints(id);
        bytes = store.MemoryBytes();
        benchmark::DoNotOptimize(store.Summary(id));
    }
    state.counters["store_bytes"] = static_cast<double>(bytes);
    state.counters["stored_points"] = static_cast<double>(stored);
    state.counters["kept_fraction"] = static_cast<double>(stored) / kDaySeconds;
    state.counters["ns_per_sample"] = benchmark::Counter(static_cast<double>(kDaySeconds * state.iterations()),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AppendDayOfSamples)->Unit(benchmark::kMillisecond);

// What the monitor's timer does each second on a 16-processor desktop: store a sweep's readings
// by name (the clock detector beside it), after a day of them.
void BM_AppendSweepAfterADay(benchmark::State& state) {
    FakeSysfs tree;
    WriteIntelDesktop(tree, 16);
    SysfsSensors sensors(tree.Root());
    const std::vector<SensorReading> sweep = sensors.Sweep();
    TimeSeriesStore store;
    ThrottleDetector detector;
    int second = 0;
    for (; second < kDaySeconds; ++second) store.AppendReadings(second, sweep);
    for (auto _ : state) {
        store.AppendReadings(++second, sweep);
        for (int processor = 0; processor < 16; ++processor) detector.AddClock(processor, second, 3.0e9);
    }
    std::size_t stored = 0;
    for (std::size_t id = 0; id < store.SeriesCount(); ++id) stored += store.StoredPoints(id);
    state.counters["series"] = static_cast<double>(store.SeriesCount());
    state.counters["stored_points"] = static_cast<double>(stored);
    state.counters["store_bytes"] = static_cast<double>(store.MemoryBytes());
}
BENCHMARK(BM_AppendSweepAfterADay)->Unit(benchmark::kMicrosecond);

// The plot's copy of one series and the CSV of every series, after a day.
void BM_PointsAndCsvAfterADay(benchmark::State& state) {
    FakeSysfs tree;
    WriteIntelDesktop(tree, 16);
    SysfsSensors sensors(tree.Root());
    const std::vector<SensorReading> sweep = sensors.Sweep();
    TimeSeriesStore store;
    for (int second = 0; second < kDaySeconds; ++second) store.AppendReadings(second, sweep);
    std::size_t bytes = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.Points(0));
        std::ostringstream csv;
        WriteSeriesCsv(store, csv);
        bytes = csv.str().size();
    }
    state.counters["csv_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_PointsAndCsvAfterADay)->Unit(benchmark::kMillisecond);

}  // namespace
