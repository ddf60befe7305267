// A worker's life: its kernel's passes, with the queue check, the processor it keeps to and the
// priority around each pass, and the check of its work between passes.

#include <cstdio>
#include <cstring>
#include <memory>

#include "check/check_suite.h"
#include "load/core_clock.h"
#include "load/load_workers.h"
#include "load/seconds_clock.h"
#include "load/sse_kernel.h"
#include "load/wide_kernels.h"
#include "load/x87_kernel.h"
#include "platform/clock.h"
#include "platform/priority.h"
#include "platform/processors.h"

namespace {

// The pair the kernels other than the x87 mix drop to between passes.
constexpr DWORD kBetweenPassesClass = NORMAL_PRIORITY_CLASS;
constexpr int kBetweenPassesPriority = THREAD_PRIORITY_BELOW_NORMAL;

// How often a worker that stopped loading looks at its queue.
constexpr DWORD kIdlePollMs = 20;

std::int64_t ThreadCpuNanoseconds() {
    LONGLONG nanoseconds = 0;
    QueryCurrentThreadCpuTime(&nanoseconds);
    return nanoseconds;
}

// The queue check before a pass: false when the worker must end. The x87 mix ends at any message;
// the others act on other messages and end only at the quit.
bool QueueAllowsPass(bool quitOnAnyMessage) {
    MSG message;
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (quitOnAnyMessage || message.message == WM_QUIT) return false;
        TranslateMessage(&message);
        DispatchMessage(&message);
    }
    return true;
}

// Keeps the thread on the processor the table wants it on; a refusal is reported once per target.
void FollowTarget(WorkerContext& worker, int* applied) {
    const int target = worker.targetProcessor.load(std::memory_order_relaxed);
    if (target == *applied) return;
    *applied = target;
    if (target < 0) {
        UnpinCurrentThread();
    } else if (!PinCurrentThread(target)) {
        WorkerEvent event;
        event.kind = WorkerEventKind::PinRefused;
        event.seconds = static_cast<double>(GetSeconds());
        event.worker = worker.slot;
        event.processor = target;
        worker.report.events.Push(event);
    }
}

template <typename T>
void Add(std::atomic<T>& counter, T amount) {
    counter.fetch_add(amount, std::memory_order_relaxed);
}

std::unique_ptr<LoadKernel> MakeKernel(LoadKernelKind kind) {
    switch (kind) {
    case LoadKernelKind::Sse: return std::make_unique<SseLoadKernel>();
    case LoadKernelKind::X87: return std::make_unique<X87LoadKernel>();
    default: return MakeWideKernel(kind);
    }
}

}  // namespace

DWORD LoadWorkers::RunWorker(WorkerContext& worker) {
    char name[16];
    std::snprintf(name, sizeof name, "ferrox load %u", worker.slot);
    SetCurrentThreadName(name);
    LoadKernelKind kind = LoadKernelKind::X87;
    if (!ChosenKernel(&kind)) {
        worker.report.state.store(WorkerState::Ended);
        return 0;
    }
    std::unique_ptr<LoadKernel> kernel = MakeKernel(kind);
    if (kernel == nullptr) {
        worker.report.state.store(WorkerState::Ended);
        return 0;
    }
    return RunKernelPasses(worker, *kernel);
}

DWORD LoadWorkers::RunSseKernel(WorkerContext* worker) {
    WorkerContext own(this, 0);
    auto kernel = std::make_unique<SseLoadKernel>();
    return RunKernelPasses(worker != nullptr ? *worker : own, *kernel);
}

DWORD LoadWorkers::RunX87Kernel(WorkerContext* worker) {
    WorkerContext own(this, 0);
    X87LoadKernel kernel;
    return RunKernelPasses(worker != nullptr ? *worker : own, kernel);
}

DWORD LoadWorkers::RunKernelPasses(WorkerContext& worker, LoadKernel& kernel) {
    WorkerReport& report = worker.report;
    report.kernel.store(static_cast<int>(kernel.Kind()));
    const HANDLE process = GetCurrentProcess();
    const HANDLE thread = GetCurrentThread();
    // The x87 mix runs every pass at the highest pair and puts back what it found; the others run
    // at the chosen pair and drop below normal between passes.
    const bool fixedPair = kernel.Kind() == LoadKernelKind::X87;
    const DWORD savedClass = GetPriorityClass(process);
    const int savedPriority = GetThreadPriority(thread);
    alignas(64) std::uint64_t checkArea[kCheckAreaWords];
    double lastCheck = -1.0;
    int appliedTarget = -1;
    for (;;) {
        if (!QueueAllowsPass(fixedPair)) break;
        FollowTarget(worker, &appliedTarget);
        const DWORD passClass = fixedPair ? REALTIME_PRIORITY_CLASS : m_priorityClass.load(std::memory_order_relaxed);
        const int passPriority = fixedPair ? THREAD_PRIORITY_TIME_CRITICAL : m_threadPriority.load(std::memory_order_relaxed);
        SetPriorityClass(process, passClass);
        SetThreadPriority(thread, passPriority);
        report.state.store(WorkerState::Loading, std::memory_order_relaxed);
        NotifyPassStarting();
        const std::int64_t passStart = ThreadCpuNanoseconds();
        kernel.RunPass();
        const std::int64_t passNanoseconds = ThreadCpuNanoseconds() - passStart;
        if (fixedPair) {
            SetPriorityClass(process, savedClass);
            SetThreadPriority(thread, savedPriority);
        } else if (PriorityChangeAllowed(passClass, passPriority, kBetweenPassesClass, kBetweenPassesPriority) &&
                   PriorityChangeAllowed(kBetweenPassesClass, kBetweenPassesPriority, passClass, passPriority)) {
            // Only a drop the system will let the worker undo: otherwise it stays at the chosen pair.
            SetPriorityClass(process, kBetweenPassesClass);
            SetThreadPriority(thread, kBetweenPassesPriority);
        }
        if (!AfterPass(worker, kernel, checkArea, &lastCheck, passNanoseconds)) {
            // Stopped on an error: no more load, only the wait for the quit.
            report.state.store(WorkerState::Failed);
            while (QueueAllowsPass(false)) Sleep(kIdlePollMs);
            break;
        }
        Sleep(0);
    }
    if (report.state.load() != WorkerState::Failed) report.state.store(WorkerState::Ended);
    return 0;
}

bool LoadWorkers::AfterPass(WorkerContext& worker, LoadKernel& kernel, std::uint64_t* checkArea, double* lastCheck,
                            std::int64_t passNanoseconds) {
    WorkerReport& report = worker.report;
    const int processor = CurrentProcessor();
    ProcessorTally* tally = Tally(processor);
    const auto loaded = static_cast<std::uint64_t>(passNanoseconds > 0 ? passNanoseconds : 0);
    report.processor.store(processor, std::memory_order_relaxed);
    Add(report.passes, std::uint64_t{1});
    Add(report.loadedNanoseconds, loaded);
    if (tally != nullptr) Add(tally->loadedNanoseconds, loaded);

    const double now = static_cast<double>(GetSeconds());
    if (*lastCheck >= 0.0 && now - *lastCheck < kCheckIntervalSeconds) return true;
    *lastCheck = now;

    CheckFailure failure;
    bool passed = RunCheckSuite(checkArea, &failure, m_injector, processor);
    std::uint64_t obtained = 0, expected = 0;
    if (passed && kernel.StateDigest(&obtained, &expected) && obtained != expected) {
        passed = false;
        failure = CheckFailure{CheckPart::KernelState, expected, obtained};
    }
    const double coreClockHz = MeasureCoreClockHz();
    report.coreClockHz.store(coreClockHz, std::memory_order_relaxed);
    if (tally != nullptr && coreClockHz > 0.0) tally->coreClockHz.store(coreClockHz, std::memory_order_relaxed);
    if (passed) {
        Add(report.checks, std::uint64_t{1});
        if (tally != nullptr) Add(tally->checks, std::uint64_t{1});
        return true;
    }
    Add(report.errors, std::uint64_t{1});
    if (tally != nullptr) {
        Add(tally->errors, std::uint64_t{1});
        double none = -1.0;
        tally->firstErrorSeconds.compare_exchange_strong(none, now);
    }
    WorkerEvent event;
    event.kind = WorkerEventKind::CheckFailed;
    event.seconds = now;
    event.worker = worker.slot;
    event.processor = processor;
    event.part = failure.part;
    event.expected = failure.expected;
    event.obtained = failure.obtained;
    report.events.Push(event);
    if (!StopOnError()) return true;
    if (tally != nullptr) tally->failed.store(true);
    return false;
}
