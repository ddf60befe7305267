// Workers that check their work: placement, pinning, an injected fault attributed to the right
// processor, stopping on an error, and the kernel each processor gets.

#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "check/fault_injection.h"
#include "load/cpu_vendor.h"
#include "load/load_workers.h"
#include "load/placement.h"
#include "load/sse_kernel.h"
#include "load/x87_kernel.h"
#include "platform/clock.h"
#include "platform/processors.h"

namespace {

// The first step of the thread's processor-time clock seen while spinning (0 when it never moved).
// Wine, for one, counts a thread's time in the scheduler's 10 ms ticks, too coarse for the probe.
LONGLONG ThreadClockStep() {
    LONGLONG first = 0, now = 0;
    QueryCurrentThreadCpuTime(&first);
    for (int spin = 0; spin < 50'000'000; ++spin) {
        QueryCurrentThreadCpuTime(&now);
        if (now != first) return now - first;
    }
    return 0;
}

// Polls (bounded) until done() holds; false if it never did within 20 s.
template <typename Done>
bool Eventually(Done done) {
    for (int attempt = 0; attempt < 2000; ++attempt) {
        if (done()) return true;
        Sleep(10);
    }
    return done();
}

// The processor each of this process's threads named name last ran on, from the kernel's own
// record (/proc/self/task/TID/stat, field 39), independent of anything Ferrox reports.
std::vector<int> ProcessorsOfThreadsNamed(const std::string& name) {
    std::vector<int> processors;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return processors;
    while (dirent* entry = readdir(tasks)) {
        const std::string task = std::string("/proc/self/task/") + entry->d_name;
        std::ifstream comm(task + "/comm");
        std::string threadName;
        if (!std::getline(comm, threadName) || threadName != name) continue;
        std::ifstream stat(task + "/stat");
        std::string line;
        std::getline(stat, line);
        // Fields after the name (in parentheses, possibly with spaces) start at field 3.
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string field;
        for (int number = 3; fields >> field; ++number) {
            if (number == 39) {
                processors.push_back(std::stoi(field));
                break;
            }
        }
    }
    closedir(tasks);
    return processors;
}

std::vector<WorkerEvent> DrainEvents(const LoadWorkers& workers) {
    std::vector<WorkerEvent> events;
    for (const auto& context : workers.ContextsInUse()) {
        WorkerEvent event;
        while (context->report.events.Pop(&event)) events.push_back(event);
    }
    return events;
}

}  // namespace

TEST(Placement, DistinctCoresComeFirst) {
    struct Case {
        const char* what;
        std::vector<ProcessorPlace> places;
        std::vector<int> order;
        unsigned cores;
    };
    const Case cases[] = {
        {"siblings numbered apart", {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}}, {0, 1, 2, 3}, 2},
        {"siblings numbered together", {{0, 0, 0}, {1, 0, 0}, {2, 1, 0}, {3, 1, 0}}, {0, 2, 1, 3}, 2},
        {"two packages", {{0, 0, 0}, {1, 0, 0}, {2, 0, 1}, {3, 0, 1}}, {0, 2, 1, 3}, 2},
        {"unknown cores stand alone", {{4, -1, -1}, {7, -1, -1}}, {4, 7}, 2},
        // Lumped into one core, 7 would come after the known core's first processor.
        {"unknown cores before a known pair", {{4, -1, -1}, {5, 0, 0}, {6, 0, 0}, {7, -1, -1}}, {4, 7, 5, 6}, 3},
        {"unknown cores in a known package", {{2, -1, 0}, {3, -1, 0}, {0, 1, 0}, {1, 1, 0}}, {2, 3, 0, 1}, 3},
        {"a cpuset with gaps", {{1, 0, 0}, {5, 2, 0}, {6, 2, 0}}, {1, 5, 6}, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SpreadOrder(c.places), c.order) << c.what;
        EXPECT_EQ(CountPhysicalCores(c.places), c.cores) << c.what;
    }
}

TEST(KernelChoice, VendorFeaturesAndTheSystemDecide) {
    struct Case {
        LoadChoice choice;
        ProcessorTraits traits;
        bool runs;
        LoadKernelKind kind;
    };
    const ProcessorTraits intel{CpuVendorIntel, true, false, false};
    const ProcessorTraits amd{CpuVendorAmd, true, true, false};
    const ProcessorTraits intelWithoutSse{CpuVendorIntel, false, false, false};
    const ProcessorTraits wide{CpuVendorIntel, true, true, true};
    const Case cases[] = {
        {LoadChoice::Builtin, intel, true, LoadKernelKind::Sse},
        {LoadChoice::Builtin, amd, true, LoadKernelKind::X87},  // SSE alone does not choose the SSE mix
        {LoadChoice::Builtin, intelWithoutSse, true, LoadKernelKind::X87},
        {LoadChoice::Builtin, ProcessorTraits{CpuVendorOther, true, true, true}, true, LoadKernelKind::X87},
        {LoadChoice::Avx2Fma, intel, false, LoadKernelKind::X87},
        {LoadChoice::Avx2Fma, amd, true, LoadKernelKind::Fma},
        {LoadChoice::Avx512, amd, false, LoadKernelKind::X87},
        {LoadChoice::Avx512, wide, true, LoadKernelKind::Avx512},
        {LoadChoice::Widest, intel, true, LoadKernelKind::Sse},
        {LoadChoice::Widest, amd, true, LoadKernelKind::Fma},
        {LoadChoice::Widest, wide, true, LoadKernelKind::Avx512},
    };
    for (const Case& c : cases) {
        LoadKernelKind kind = LoadKernelKind::X87;
        EXPECT_EQ(ChooseKernel(c.choice, c.traits, &kind), c.runs) << static_cast<int>(c.choice);
        if (c.runs) {
            EXPECT_EQ(kind, c.kind) << static_cast<int>(c.choice) << " " << c.traits.vendor;
        }
    }
}

TEST(KernelState, WhatThePassesLeaveIsKnownInAdvance) {
    EXPECT_EQ(ReferenceSseWorkAreaDigest(), kSseWorkAreaDigestAfterPasses);
    SseLoadKernel sse;
    X87LoadKernel x87;
    for (LoadKernel* kernel : {static_cast<LoadKernel*>(&sse), static_cast<LoadKernel*>(&x87)}) {
        for (int pass = 0; pass < 2; ++pass) {
            kernel->RunPass();
            std::uint64_t obtained = 0, expected = 1;
            ASSERT_TRUE(kernel->StateDigest(&obtained, &expected));
            EXPECT_EQ(obtained, expected) << LoadKernelName(kernel->Kind()) << " pass " << pass;
        }
    }
    // The digest sees a single changed word anywhere in the SSE work area.
    auto area = std::make_unique<double[]>(kSseWorkAreaDoubles);
    std::uint32_t v0[4], v1[4];
    InitSseKernelData(area.get(), v0, v1);
    const std::uint64_t clean = SseWorkAreaDigest(area.get());
    for (int index : {0, 1, 8184, kSseWorkAreaDoubles - 1}) {
        const double saved = area[index];
        area[index] = 1.0;
        EXPECT_NE(SseWorkAreaDigest(area.get()), clean) << index;
        area[index] = saved;
    }
}

TEST(CheckedWorkers, EachWorkerRunsOnItsProcessorAndAFaultNamesTheRightOne) {
    const std::vector<int> order = SpreadOrder(AllowedProcessors());
    if (order.size() < 2) GTEST_SKIP() << "needs two processors, this process may use " << order.size();
    const int faulty = order[1];
    FaultInjector injector(FaultPlan{faulty, 1});
    LoadWorkers workers;
    workers.SetFaultInjector(&injector);
    workers.StartWorkers(2);
    ASSERT_TRUE(Eventually([&] { return workers.Tally(faulty)->errors.load() > 0; }))
        << "no error on processor " << faulty;

    // The kernel's own record of where each worker thread runs (Linux; Windows has no /proc, Wine's
    // view of Linux's carries no Windows thread names, and the Win32 backend's tests check pinning
    // against GetCurrentProcessorNumber instead).
#ifdef _WIN32
    constexpr bool kThreadsListed = false;
#else
    const bool kThreadsListed = std::filesystem::is_directory("/proc/self/task");
#endif
    if (kThreadsListed) {
        for (unsigned slot = 0; slot < 2; ++slot) {
            const std::vector<int> seen = ProcessorsOfThreadsNamed("ferrox load " + std::to_string(slot));
            ASSERT_EQ(seen.size(), 1u) << "worker " << slot;
            EXPECT_EQ(seen[0], order[slot]) << "worker " << slot;
        }
    } else {
        std::printf("note: no list of threads by name here: where the workers run is not read back\n");
    }
    std::vector<WorkerEvent> failures;
    for (const WorkerEvent& event : DrainEvents(workers))
        if (event.kind == WorkerEventKind::CheckFailed) failures.push_back(event);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].processor, faulty);
    EXPECT_EQ(failures[0].worker, 1u);
    EXPECT_EQ(failures[0].part, CheckPart::X87Chain);
    EXPECT_EQ(failures[0].expected ^ failures[0].obtained, 1u);
    EXPECT_EQ(workers.Tally(order[0])->errors.load(), 0u);
    EXPECT_GE(workers.Tally(faulty)->checks.load(), 1u) << "the check before the fault passed";
    EXPECT_GT(workers.Tally(faulty)->firstErrorSeconds.load(), 0.0);
    EXPECT_GT(workers.Tally(order[0])->loadedNanoseconds.load(), 0u);
    if (const LONGLONG step = ThreadClockStep(); step > 0 && step <= 1'000'000) {
        EXPECT_GT(workers.Tally(faulty)->coreClockHz.load(), 1e8) << "the probe ran at the check";
    } else {
        std::printf("note: no core clock check, the thread processor clock steps by %lld ns\n", static_cast<long long>(step));
    }
    workers.StopWorkers();
}

TEST(CheckedWorkers, StopOnErrorHoldsTheFailedWorkerStillUntilItsQuit) {
    const int processor = SpreadOrder(AllowedProcessors())[0];
    FaultInjector injector(FaultPlan{processor, 0});
    LoadWorkers workers;
    workers.SetFaultInjector(&injector);
    workers.SetStopOnError(true);
    workers.StartWorkers(1);
    WorkerContext* worker = workers.Context(0);
    ASSERT_NE(worker, nullptr);
    ASSERT_TRUE(Eventually([&] { return worker->report.state.load() == WorkerState::Failed; }));
    EXPECT_TRUE(workers.Tally(processor)->failed.load());
    const std::uint64_t passes = worker->report.passes.load();
    Sleep(150);
    EXPECT_EQ(worker->report.passes.load(), passes) << "a failed worker loads no more";
    EXPECT_EQ(worker->report.errors.load(), 1u);
    workers.StopWorkers();
    EXPECT_EQ(workers.m_workers[0], nullptr);
    workers.WaitForStoppedWorkers();
}

// Every kernel this processor can run passes its own checks (no false alarm), and the worker
// says which kernel it runs.
TEST(CheckedWorkers, EveryKernelThisProcessorRunsPassesItsChecks) {
    const ProcessorTraits real = ReadProcessorTraits();
    struct Case {
        LoadKernelKind kind;
        ProcessorTraits traits;
        LoadChoice choice;
    };
    const Case cases[] = {
        {LoadKernelKind::Sse, ProcessorTraits{CpuVendorIntel, true, false, false}, LoadChoice::Builtin},
        {LoadKernelKind::X87, ProcessorTraits{CpuVendorAmd, true, false, false}, LoadChoice::Builtin},
        {LoadKernelKind::Fma, real, LoadChoice::Avx2Fma},
        {LoadKernelKind::Avx512, real, LoadChoice::Avx512},
    };
    for (const Case& c : cases) {
        LoadKernelKind kind = LoadKernelKind::X87;
        if (!ChooseKernel(c.choice, c.traits, &kind)) {
            std::printf("skipped: this processor cannot run the %s kernel\n", LoadKernelName(c.kind));
            continue;
        }
        LoadWorkers workers;
        workers.SetProcessorTraits(c.traits);
        workers.SetLoadChoice(c.choice);
        workers.StartWorkers(1);
        WorkerContext* worker = workers.Context(0);
        ASSERT_NE(worker, nullptr);
        EXPECT_TRUE(Eventually([&] { return worker->report.checks.load() >= 3; })) << LoadKernelName(c.kind);
        EXPECT_EQ(worker->report.errors.load(), 0u) << LoadKernelName(c.kind);
        EXPECT_EQ(worker->report.kernel.load(), static_cast<int>(c.kind));
        workers.StopWorkers();
    }
}
