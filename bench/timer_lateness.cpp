// How late the window's 100 ms refresh timer fires while every processor is loaded, at each
// priority setting, how long after each tick the animated logo's repaint starts, and how much of
// its processor each worker gets meanwhile. Runs the real application object and frame (under a
// display, or QT_QPA_PLATFORM=offscreen) and prints one row per priority. Ticks and paints are seen
// through the frame's clock: a tick reads the seconds and then the processor clock, a paint reads
// only the seconds.
//
//   timer_lateness [--threads N] [--kernel x87|sse|avx2]
// The built-in kernel of this processor by default; "sse" makes the workers believe the processor
// is one that gets the SSE mix (its passes drop to Below normal between passes), "x87" one that
// gets the x87 mix (its passes run at the realtime pair).

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/command_ids.h"
#include "app/ferrox_app.h"
#include "app/ferrox_frame.h"
#include "app/resources.h"
#include "load/cpu_vendor.h"
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
    std::vector<double> paintDelay;        // seconds from a tick to the start of its repaint
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

// The last seconds reading not yet known to be a tick's: if no processor-clock reading follows it,
// it was a paint's.
double g_unclaimedSeconds = -1.0;

int CurrentPhase() { return (g_tick - 1 - kWarmUpTicks) / kTicksPerPhase; }

long double SecondsAtCall() {
    const double now = static_cast<double>(GetSeconds());
    const int phase = CurrentPhase();
    if (g_unclaimedSeconds >= 0.0 && g_tick > kWarmUpTicks && phase >= 0 && phase < kPhaseCount) {
        g_results[phase].paintDelay.push_back(g_unclaimedSeconds - g_lastTick);
    }
    g_unclaimedSeconds = now;
    return now;
}

// The frame reads the processor clock once per timer tick, right after the seconds.
long double ClockHzAtTick() {
    g_unclaimedSeconds = -1.0;
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
    std::printf("%-9s %8s %8s %8s %8s %8s %10s %10s   %s\n", "priority", "ticks", "mean ms", "p95 ms", "max ms",
                "paints", "paint p95", "paint max", "worker CPU share");
    for (int p = 0; p < kPhaseCount; ++p) {
        std::vector<double> late = g_results[p].lateness;
        if (late.empty()) continue;
        std::sort(late.begin(), late.end());
        double sum = 0.0;
        for (double l : late) sum += l;
        std::vector<double> delay = g_results[p].paintDelay;
        std::sort(delay.begin(), delay.end());
        const double delayP95 = delay.empty() ? 0.0 : delay[delay.size() * 95 / 100];
        const double delayMax = delay.empty() ? 0.0 : delay.back();
        std::printf("%-9s %8zu %8.2f %8.2f %8.2f %8zu %10.2f %10.2f  ", kPhases[p].name, late.size(),
                    1e3 * sum / late.size(), 1e3 * late[late.size() * 95 / 100], 1e3 * late.back(), delay.size(),
                    1e3 * delayP95, 1e3 * delayMax);
        for (double share : g_results[p].workerCpuShare) std::printf(" %5.1f%%", 100.0 * share);
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    theApp.m_frameClock = FrameClock{SecondsAtCall, ClockHzAtTick};
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--threads") == 0) {
            theApp.m_startOptions.run.threads = static_cast<unsigned>(std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--kernel") == 0 && std::strcmp(argv[i + 1], "sse") == 0) {
            theApp.SetProcessorTraits(ProcessorTraits{CpuVendorIntel, true, false, false});
        } else if (std::strcmp(argv[i], "--kernel") == 0 && std::strcmp(argv[i + 1], "x87") == 0) {
            theApp.SetProcessorTraits(ProcessorTraits{CpuVendorAmd, true, false, false});
        } else if (std::strcmp(argv[i], "--kernel") == 0 && std::strcmp(argv[i + 1], "avx2") == 0) {
            theApp.m_startOptions.run.load = LoadChoice::Avx2Fma;
        }
    }
    const int status = AfxWinMain(1, argv, FerroxResources());
    LoadKernelKind kernel = LoadKernelKind::X87;
    std::printf("%u workers, kernel %s\n", theApp.m_workerCount,
                theApp.ChosenKernel(&kernel) ? LoadKernelName(kernel) : "none");
    Report();
    return status;
}
