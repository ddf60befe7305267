// The Monitor window with any number of processors, for looking at it (scripts/screenshot-monitor):
// a fake sensor tree (tests/monitor/fake_sysfs) of an Intel desktop with that many processors,
// whose temperatures rise and whose energy counters count up as under load, read by the run's own
// monitor, and the effective clocks as workers would publish them (an all-core boost with a spread
// across the cores, and two cores that throttle for a while). Minutes of run time are made in
// seconds; then the window shows what the Monitor shows after them, until it is closed.
// Usage: monitor_scene PROCESSORS [RUN_SECONDS]

#include <QApplication>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "app/monitor_view.h"
#include "monitor/fake_sysfs.h"
#include "platform/chart_window.h"
#include "run/run_monitor.h"

int main(int argc, char** argv) {
    const int processors = argc > 1 ? std::atoi(argv[1]) : 0;
    const int runSeconds = argc > 2 ? std::atoi(argv[2]) : 300;
    if (processors < 1 || processors > 1024 || runSeconds < 10) {
        std::fprintf(stderr, "usage: monitor_scene PROCESSORS [RUN_SECONDS >= 10]\n");
        return 1;
    }
    QApplication application(argc, argv);
    FakeSysfs tree;
    WriteIntelDesktop(tree, processors);
    const int cores = processors > 1 ? processors / 2 : 1;
    SensorSweeper::Settings sweeps;
    sweeps.interval = std::chrono::milliseconds(100);
    RunMonitor monitor(processors, tree.Root(), sweeps);
    monitor.Start();

    // Power is energy over the time between sweeps, which here is real time: the energy counters
    // count on their own thread at the real rate, often enough for every sweep to see them move.
    std::atomic<double> warmth{0.0};
    std::atomic<bool> running{true};
    std::thread counters([&] {
        const double watts[6] = {95.0, 80.0, 5.0, 3.0, 110.0, 95.0};  // package, core, uncore, dram, psys, mmio copy
        const char* zones[6] = {"intel-rapl:0", "intel-rapl:0:0", "intel-rapl:0:1", "intel-rapl:0:2", "intel-rapl:1", "intel-rapl-mmio:0"};
        double energy[6] = {};
        auto last = std::chrono::steady_clock::now();
        for (int tick = 0; running; ++tick) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const auto now = std::chrono::steady_clock::now();
            const double elapsed = std::chrono::duration<double>(now - last).count();
            last = now;
            for (int zone = 0; zone < 6; ++zone) {
                energy[zone] += watts[zone] * (0.8 + 0.2 * warmth.load()) * 1e6 * elapsed;
                // Whole or not at all, as the kernel gives it: a new file renamed over the old one.
                const std::string file = std::string("sys/class/powercap/") + zones[zone] + "/energy_uj";
                tree.Write(file + ".new", std::to_string(std::llround(energy[zone])) + "\n");
                std::filesystem::rename(tree.Path() / (file + ".new"), tree.Path() / file);
            }
        }
    });
    for (int second = 1; second <= runSeconds; ++second) {
        const double warm = 1.0 - std::exp(-second / 60.0);  // the heat of the load building up
        warmth = warm;
        for (int i = 0; i <= cores; ++i) {
            const double celsius = 42.0 + 34.0 * warm + (i == 0 ? 4.0 : (i * 7 % 5)) + std::sin(second * 0.3 + i) * 0.8;
            tree.Write("sys/devices/platform/coretemp.0/hwmon/hwmon2/temp" + std::to_string(i + 1) + "_input",
                       std::to_string(std::lround(celsius * 1000)) + "\n");
        }
        tree.Write("sys/class/hwmon/hwmon1/temp1_input", std::to_string(std::lround((38.0 + 6.0 * warm) * 1000)) + "\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(45));  // a sweep or two of the files
        for (int cpu = 0; cpu < processors; ++cpu) {
            double megahertz = 3400.0 - 60.0 * warm + (cpu * 37 % 90) - 45.0 + std::sin(second * 0.9 + cpu * 1.7) * 12.0;
            // Two cores hold back while they are hottest.
            if (cpu >= processors - 2 && processors > 2 && second > runSeconds * 2 / 5 && second < runSeconds * 3 / 5) megahertz -= 600.0;
            monitor.PublishClock(cpu, megahertz * 1e6);
        }
        monitor.Sample(second);
    }
    running = false;
    counters.join();
    monitor.Stop();

    RunSummary summary;
    summary.elapsedSeconds = runSeconds;
    const MonitorHeadline headline = monitor.Headline();
    summary.hottestCelsius = headline.hottestCelsius;
    summary.hottestLabel = headline.hottestLabel;
    summary.packageWatts = headline.packageWatts;
    summary.throttleEvents = monitor.Throttling().Count();
    CChartWindow window;
    window.Show(nullptr, "Ferrox Monitor", [&] { return MonitorChart(monitor, summary, 2.1e9); }, nullptr);
    std::printf("shown: %d processors, %d s of run time\n", processors, runSeconds);
    std::fflush(stdout);
    return application.exec();
}
