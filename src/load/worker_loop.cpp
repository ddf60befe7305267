// A worker's life: its kernel's passes, with the queue check, the processor it keeps to and the
// priority around each pass, the check of every pass the kernel can check right after it, and the
// checks between passes. A hardware fault in a pass or a check ends only that work: the worker
// reports it and starts its kernel afresh.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "check/check_suite.h"
#include "check/fault_injection.h"
#include "load/core_clock.h"
#include "load/injected_faults.h"
#include "load/load_workers.h"
#include "load/seconds_clock.h"
#include "load/sse_kernel.h"
#include "load/wide_kernels.h"
#include "load/x87_kernel.h"
#include "platform/clock.h"
#include "platform/fault_guard.h"
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

// One pass as guarded work: the fault injection due at it, then the pass and its own check.
struct GuardedPass {
    LoadKernel* kernel;
    FaultInjector* injector;
    const std::atomic<bool>* hangRelease;
    int processor;
    bool slice;  // a slice of a variable load rather than a whole pass
    PassCheck check;
};

void RunGuardedPass(void* context) {
    GuardedPass& pass = *static_cast<GuardedPass*>(context);
    if (pass.injector != nullptr && !pass.injector->InjectsIntoChecks() && pass.injector->Due(pass.processor)) {
        const FaultPlan& plan = pass.injector->Plan();
        switch (plan.kind) {
        case FaultKind::Crash: MakeInvalidMemoryAccess(); break;
        case FaultKind::Hang: SpinForever(pass.hangRelease); break;
        case FaultKind::KernelBit: pass.kernel->InjectWrongBit(WrongBitPlace::KernelState, plan.bit); break;
        case FaultKind::WorkAreaBit: pass.kernel->InjectWrongBit(WrongBitPlace::WorkArea, plan.bit); break;
        case FaultKind::MemoryBit: pass.kernel->InjectWrongBit(WrongBitPlace::MemoryBlock, plan.bit); break;
        case FaultKind::CheckDigest: break;
        }
    }
    pass.check = pass.slice ? pass.kernel->RunSlice() : pass.kernel->RunPass();
}

// The check between passes as guarded work: the suite, then what the kernel left behind.
struct GuardedCheck {
    LoadKernel* kernel;
    std::uint64_t* area;
    FaultInjector* injector;
    int processor;
    bool passed;
    CheckFailure failure;
};

void RunGuardedCheck(void* context) {
    GuardedCheck& check = *static_cast<GuardedCheck*>(context);
    check.passed = RunCheckSuite(check.area, &check.failure, check.injector, check.processor);
    std::uint64_t obtained = 0, expected = 0;
    if (check.passed && check.kernel->StateDigest(&obtained, &expected) && obtained != expected) {
        check.passed = false;
        check.failure = CheckFailure{CheckPart::KernelState, expected, obtained};
    }
}

WorkerEvent FaultEvent(const HardwareFault& fault) {
    WorkerEvent event;
    event.kind = WorkerEventKind::Crashed;
    event.faultName = fault.name;
    event.faultAddress = fault.address;
    return event;
}

WorkerEvent CheckEvent(CheckPart part, std::uint64_t expected, std::uint64_t obtained) {
    WorkerEvent event;
    event.kind = WorkerEventKind::CheckFailed;
    event.part = part;
    event.expected = expected;
    event.obtained = obtained;
    return event;
}

WorkerEvent MismatchEvent(LoadKernelKind kind, const PassCheck& check) {
    WorkerEvent event = CheckEvent(CheckPart::KernelState, check.expected, check.obtained);
    event.kind = WorkerEventKind::WordMismatch;
    event.kernel = static_cast<int>(kind);
    event.mismatch = check.mismatch;
    return event;
}

}  // namespace

std::unique_ptr<LoadKernel> LoadWorkers::MakeKernel(LoadKernelKind kind) const {
    switch (kind) {
    case LoadKernelKind::Sse: return std::make_unique<SseLoadKernel>();
    case LoadKernelKind::X87: return std::make_unique<X87LoadKernel>();
    case LoadKernelKind::Cache:
    case LoadKernelKind::Memory: return m_kernelFactory ? m_kernelFactory(kind) : nullptr;
    default: return MakeWideKernel(kind);
    }
}

DWORD LoadWorkers::RunWorker(WorkerContext& worker) {
    char name[16];
    std::snprintf(name, sizeof name, "ferrox load %u", worker.slot);
    SetCurrentThreadName(name);
    LoadKernelKind kind = LoadKernelKind::X87;
    if (!ChosenKernel(&kind)) {
        worker.report.state.store(WorkerState::Ended);
        return 0;
    }
    return RunKernelPasses(worker, kind);
}

DWORD LoadWorkers::RunSseKernel(WorkerContext* worker) {
    WorkerContext own(this, 0);
    return RunKernelPasses(worker != nullptr ? *worker : own, LoadKernelKind::Sse);
}

DWORD LoadWorkers::RunX87Kernel(WorkerContext* worker) {
    WorkerContext own(this, 0);
    return RunKernelPasses(worker != nullptr ? *worker : own, LoadKernelKind::X87);
}

DWORD LoadWorkers::RunKernelPasses(WorkerContext& worker, LoadKernelKind kind) {
    WorkerReport& report = worker.report;
    report.kernel.store(static_cast<int>(kind));
    std::unique_ptr<LoadKernel> kernel = MakeKernel(kind);
    if (kernel == nullptr) {
        report.state.store(WorkerState::Ended);
        return 0;
    }
    const HANDLE process = GetCurrentProcess();
    const HANDLE thread = GetCurrentThread();
    // The x87 mix runs every pass at the highest pair and puts back what it found; the others run
    // at the chosen pair and drop below normal between passes.
    const bool fixedPair = kind == LoadKernelKind::X87;
    const DWORD savedClass = GetPriorityClass(process);
    const int savedPriority = GetThreadPriority(thread);
    alignas(64) std::uint64_t checkArea[kCheckAreaWords];
    double lastCheck = -1.0;
    int appliedTarget = -1;
    for (;;) {
        if (!QueueAllowsPass(fixedPair)) break;
        // A variable load's rest: all workers idle together until the next on-time.
        if (const double rest = RestBeforeSlice(); rest > 0.0) {
            Sleep(static_cast<DWORD>(std::ceil(rest * 1000.0)));
            continue;
        }
        FollowTarget(worker, &appliedTarget);
        const DWORD passClass = fixedPair ? REALTIME_PRIORITY_CLASS : m_priorityClass.load(std::memory_order_relaxed);
        const int passPriority = fixedPair ? THREAD_PRIORITY_TIME_CRITICAL : m_threadPriority.load(std::memory_order_relaxed);
        SetPriorityClass(process, passClass);
        SetThreadPriority(thread, passPriority);
        report.state.store(WorkerState::Loading, std::memory_order_relaxed);
        NotifyPassStarting();
        GuardedPass pass{kernel.get(), m_injector, m_hangRelease, CurrentProcessor(), DutyPeriodSeconds() > 0.0, PassCheck{}};
        report.passProcessor.store(pass.processor, std::memory_order_relaxed);
        const std::int64_t passStart = ThreadCpuNanoseconds();
        HardwareFault fault;
        const bool returned = RunGuarded(RunGuardedPass, &pass, &fault);
        const std::int64_t passNanoseconds = ThreadCpuNanoseconds() - passStart;
        const int endProcessor = CurrentProcessor();
        if (fixedPair) {
            SetPriorityClass(process, savedClass);
            SetThreadPriority(thread, savedPriority);
        } else if (PriorityChangeAllowed(passClass, passPriority, kBetweenPassesClass, kBetweenPassesPriority) &&
                   PriorityChangeAllowed(kBetweenPassesClass, kBetweenPassesPriority, passClass, passPriority)) {
            // Only a drop the system will let the worker undo: otherwise it stays at the chosen pair.
            SetPriorityClass(process, kBetweenPassesClass);
            SetThreadPriority(thread, kBetweenPassesPriority);
        }
        const std::uint64_t errorsBefore = report.errors.load(std::memory_order_relaxed);
        bool carryOn = true;
        if (!returned) {
            carryOn = ReportError(worker, FaultEvent(fault), pass.processor, endProcessor);
            Add(report.restarts, std::uint64_t{1});
        } else {
            CountPass(worker, endProcessor, passNanoseconds);
            Add(report.bytesVerified, pass.check.bytesVerified);
            Add(report.blocksVerified, pass.check.blocksVerified);
            if (pass.check.wordMismatch) {
                carryOn = ReportError(worker, MismatchEvent(kind, pass.check), pass.processor, endProcessor);
            } else if (pass.check.checked && !pass.check.correct) {
                carryOn = ReportError(worker, CheckEvent(CheckPart::KernelState, pass.check.expected, pass.check.obtained),
                                      pass.processor, endProcessor);
            } else {
                carryOn = CheckBetweenPasses(worker, *kernel, checkArea, &lastCheck);
            }
        }
        if (!carryOn) {
            // Stopped on an error: no more load, only the wait for the quit.
            report.state.store(WorkerState::Failed);
            while (QueueAllowsPass(false)) Sleep(kIdlePollMs);
            break;
        }
        // After an error the kernel's data may be anything: it starts afresh.
        if (report.errors.load(std::memory_order_relaxed) != errorsBefore) {
            kernel = MakeKernel(kind);
            if (kernel == nullptr) break;
        }
        Sleep(0);
    }
    if (report.state.load() != WorkerState::Failed) report.state.store(WorkerState::Ended);
    return 0;
}

void LoadWorkers::CountPass(WorkerContext& worker, int processor, std::int64_t passNanoseconds) {
    WorkerReport& report = worker.report;
    const auto loaded = static_cast<std::uint64_t>(passNanoseconds > 0 ? passNanoseconds : 0);
    report.processor.store(processor, std::memory_order_relaxed);
    Add(report.passes, std::uint64_t{1});
    Add(report.loadedNanoseconds, loaded);
    if (ProcessorTally* tally = Tally(processor)) Add(tally->loadedNanoseconds, loaded);
}

bool LoadWorkers::ReportError(WorkerContext& worker, WorkerEvent event, int processor, int endProcessor) {
    WorkerReport& report = worker.report;
    const double now = static_cast<double>(GetSeconds());
    event.seconds = now;
    event.worker = worker.slot;
    event.processor = processor;
    event.endProcessor = endProcessor != processor ? endProcessor : -1;
    Add(report.errors, std::uint64_t{1});
    // Blamed on where the work ran: both processors when it moved during it.
    for (int blamed : {processor, event.endProcessor}) {
        ProcessorTally* tally = Tally(blamed);
        if (tally == nullptr) continue;
        Add(tally->errors, std::uint64_t{1});
        double none = -1.0;
        tally->firstErrorSeconds.compare_exchange_strong(none, now);
        if (StopOnError()) tally->failed.store(true);
    }
    report.events.Push(event);
    return !StopOnError();
}

bool LoadWorkers::CheckBetweenPasses(WorkerContext& worker, LoadKernel& kernel, std::uint64_t* checkArea,
                                     double* lastCheck) {
    WorkerReport& report = worker.report;
    const double now = static_cast<double>(GetSeconds());
    if (*lastCheck >= 0.0 && now - *lastCheck < kCheckIntervalSeconds) return true;
    *lastCheck = now;

    GuardedCheck check{&kernel, checkArea, m_injector, CurrentProcessor(), true, CheckFailure{}};
    HardwareFault fault;
    const bool returned = RunGuarded(RunGuardedCheck, &check, &fault);
    const int endProcessor = CurrentProcessor();
    if (!returned) return ReportError(worker, FaultEvent(fault), check.processor, endProcessor);
    const double coreClockHz = MeasureCoreClockHz();
    ProcessorTally* tally = Tally(check.processor);
    // A probe that could not be trusted (0) leaves the last good one.
    if (coreClockHz > 0.0) report.coreClockHz.store(coreClockHz, std::memory_order_relaxed);
    if (tally != nullptr && coreClockHz > 0.0) tally->coreClockHz.store(coreClockHz, std::memory_order_relaxed);
    if (!check.passed) {
        return ReportError(worker, CheckEvent(check.failure.part, check.failure.expected, check.failure.obtained),
                           check.processor, endProcessor);
    }
    Add(report.checks, std::uint64_t{1});
    if (tally != nullptr) Add(tally->checks, std::uint64_t{1});
    return true;
}
