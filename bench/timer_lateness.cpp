// How late the window's 100 ms refresh timer fires while every processor is loaded, at each
// priority setting, and how much of its processor each worker gets meanwhile. Runs the real
// application object and frame (under a display, or QT_QPA_PLATFORM=offscreen) and prints one
// row per priority. Ticks are seen through the frame's clock, which the title update reads once
// per tick.

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/command_ids.h"
#include "app/ferrox_app.h"
#include "app/ferrox_frame.h"
#include "app/resources.h"
#include "load/seconds_clock.h"
#include "platform/thread.h"

namespace {

constexpr int kWarmUpTicks = 10;
constexpr int kTicksPerPhase = 50;

struct Phase {
    const char* name;
    unsigned command;
};
constexpr Phase kPhases[] = {
    {"Low", kCmdLowPriority},
    {"Normal", kCmdNormalPriority},
    {"High", kCmdHighPriority},
    {"Realtime", kCmdRealtimePriority},
};
constexpr int kPhaseCount = sizeof(kPhases) / sizeof(kPhases[0]);

CFerroxApp theApp;

struct PhaseResult {
    std::vector<double> lateness;          // seconds past the 100 ms period, per tick
    std::vector<double> workerCpuShare;    // worker CPU time / wall time, per worker
};

int g_tick = 0;
double g_lastTick = 0.0;
double g_phaseStart = 0.0;
std::vector<double> g_phaseCpuStart;
PhaseResult g_results[kPhaseCount];

double ThreadCpuSeconds(CWinThread* worker) {
    FILETIME creation{}, exit{}, kernel{}, user{};
    if (worker == nullptr || !GetThreadTimes(worker->m_hThread, &creation, &exit, &kernel, &user)) return 0.0;
    auto ticks = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) * 100e-9;  // FILETIME counts 100 ns units
}

void StartPhase(int phase, double now) {
    theApp.OnSettingsCommand(kPhases[phase].command);
    g_phaseStart = now;
    g_phaseCpuStart.clear();
    for (CWinThread* worker : theApp.m_workers) g_phaseCpuStart.push_back(ThreadCpuSeconds(worker));
}

void EndPhase(int phase, double now) {
    for (std::size_t i = 0; i < theApp.m_workers.size(); ++i) {
        if (theApp.m_workers[i] == nullptr) continue;
        const double cpu = ThreadCpuSeconds(theApp.m_workers[i]) - g_phaseCpuStart[i];
        g_results[phase].workerCpuShare.push_back(cpu / (now - g_phaseStart));
    }
}

// The frame reads the processor clock once per timer tick.
long double ClockHzAtTick() {
    const double now = static_cast<double>(GetSeconds());
    const int phase = (g_tick - kWarmUpTicks) / kTicksPerPhase;
    if (g_tick > kWarmUpTicks && phase <= kPhaseCount) {
        const int tickPhase = (g_tick - 1 - kWarmUpTicks) / kTicksPerPhase;
        g_results[tickPhase].lateness.push_back(now - g_lastTick - 0.1);
    }
    if (g_tick >= kWarmUpTicks && (g_tick - kWarmUpTicks) % kTicksPerPhase == 0) {
        if (phase > 0) EndPhase(phase - 1, now);
        if (phase < kPhaseCount) {
            StartPhase(phase, now);
        } else if (theApp.m_frame != nullptr) {
            theApp.m_frame->PostCommand(kCmdExit);
        }
    }
    g_lastTick = now;
    ++g_tick;
    return MeasureClockHz();
}

void Report() {
    std::printf("%-9s %8s %8s %8s %8s   %s\n", "priority", "ticks", "mean ms", "p95 ms", "max ms",
                "worker CPU share");
    for (int p = 0; p < kPhaseCount; ++p) {
        std::vector<double> late = g_results[p].lateness;
        if (late.empty()) continue;
        std::sort(late.begin(), late.end());
        double sum = 0.0;
        for (double l : late) sum += l;
        std::printf("%-9s %8zu %8.2f %8.2f %8.2f  ", kPhases[p].name, late.size(), 1e3 * sum / late.size(),
                    1e3 * late[late.size() * 95 / 100], 1e3 * late.back());
        for (double share : g_results[p].workerCpuShare) std::printf(" %5.1f%%", 100.0 * share);
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    theApp.m_frameClock = FrameClock{GetSeconds, ClockHzAtTick};
    const int status = AfxWinMain(argc, argv, FerroxResources());
    Report();
    return status;
}
