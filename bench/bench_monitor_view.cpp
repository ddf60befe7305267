// The Monitor window after a 24-hour run: 16 processors' effective clocks, 8 temperatures and 2
// power zones sampled once a second, decimated by the history. Measured: building the window's
// content from the history, filling the plots and the table with it, and painting the window
// (what each one-second refresh costs the UI thread), against one refresh early in a run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cmath>
#include <memory>

#include "app/monitor_view.h"
#include "platform/chart_window.h"

namespace {

// A day (or the first minutes) of samples at one a second.
std::unique_ptr<TimeSeriesStore> History(double seconds) {
    auto history = std::make_unique<TimeSeriesStore>();
    std::vector<TimeSeriesStore::SeriesId> clocks, temperatures, power;
    for (int cpu = 0; cpu < 16; ++cpu)
        clocks.push_back(history->FindOrAddSeries("Effective clock/cpu" + std::to_string(cpu), "CPU " + std::to_string(cpu), MonitorUnit::kHertz));
    for (int sensor = 0; sensor < 8; ++sensor)
        temperatures.push_back(history->FindOrAddSeries("Temperature/hwmon0/temp" + std::to_string(sensor), "Core " + std::to_string(sensor), MonitorUnit::kCelsius));
    for (int zone = 0; zone < 2; ++zone)
        power.push_back(history->FindOrAddSeries("Power/intel-rapl:" + std::to_string(zone), "package-" + std::to_string(zone), MonitorUnit::kWatts));
    for (double t = 0.0; t < seconds; t += 1.0) {
        const double wave = std::sin(t / 300.0);
        for (std::size_t i = 0; i < clocks.size(); ++i) history->Append(clocks[i], t, 3.2e9 + 1e8 * wave + 1e6 * static_cast<double>(i));
        for (std::size_t i = 0; i < temperatures.size(); ++i) history->Append(temperatures[i], t, 70.0 + 8.0 * wave + static_cast<double>(i));
        for (std::size_t i = 0; i < power.size(); ++i) history->Append(power[i], t, 120.0 + 20.0 * wave);
    }
    return history;
}

RunSummary SummaryAt(double seconds) {
    RunSummary summary;
    summary.elapsedSeconds = seconds;
    summary.coreClock = {3.1e9, 3.2e9, 3.3e9, 1000};
    for (int i = 0; i < 20; ++i) {
        RunError error;
        error.seconds = seconds * i / 20.0;
        error.processor = 3;
        error.core = 3;
        error.package = 0;
        error.expected = 1;
        error.obtained = 2;
        summary.errorList.push_back(error);
    }
    return summary;
}

void Refresh(benchmark::State& state, double seconds, bool paint) {
    const std::unique_ptr<TimeSeriesStore> history = History(seconds);
    const RunSummary summary = SummaryAt(seconds);
    ChartContent content;
    CChartWindow window;
    window.Show(nullptr, "Ferrox Monitor", [&] { return content; }, nullptr);
    std::size_t points = 0;
    for (auto _ : state) {
        content = MonitorChart(*history, {}, {}, summary, 2.4e9);
        window.Refresh();
        if (paint) window.PaintNow();
        points = window.PlottedPoints();
    }
    state.counters["points"] = static_cast<double>(points);
    state.counters["history_KiB"] = static_cast<double>(history->MemoryBytes()) / 1024.0;
}

void BuildContentOnly(benchmark::State& state) {
    const std::unique_ptr<TimeSeriesStore> history = History(24 * 3600.0);
    const RunSummary summary = SummaryAt(24 * 3600.0);
    for (auto _ : state) benchmark::DoNotOptimize(MonitorChart(*history, {}, {}, summary, 2.4e9));
}

void FillAfterADay(benchmark::State& state) { Refresh(state, 24 * 3600.0, false); }
void RefreshAfterTenMinutes(benchmark::State& state) { Refresh(state, 600.0, true); }
void RefreshAfterADay(benchmark::State& state) { Refresh(state, 24 * 3600.0, true); }

BENCHMARK(BuildContentOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(FillAfterADay)->Unit(benchmark::kMillisecond);
BENCHMARK(RefreshAfterTenMinutes)->Unit(benchmark::kMillisecond);
BENCHMARK(RefreshAfterADay)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
