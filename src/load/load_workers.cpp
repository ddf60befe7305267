// Starting and stopping the load workers, their placement and their settings.

#include "load/load_workers.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "load/placement.h"
#include "load/seconds_clock.h"
#include "platform/priority.h"
#include "platform/processors.h"
#include "platform/system_info.h"

namespace {

constexpr DWORD kStopWaitPerWorkerMs = 200;
// The longest StopWorkers may hold its caller: 200 ms for each of 16 workers.
constexpr DWORD kStopWaitTotalMs = kStopWaitPerWorkerMs * LoadWorkers::kMinimumWorkerSlots;

using StopClock = std::chrono::steady_clock;

DWORD MillisecondsLeft(StopClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - StopClock::now()).count();
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

void PostQuit(CWinThread* worker) {
    SetThreadPriority(worker->m_hThread, THREAD_PRIORITY_NORMAL);
    PostThreadMessage(worker->m_nThreadID, WM_QUIT, 0, 0);
}

// A thread time in 100-nanosecond units.
double FileTimeTo100ns(const FILETIME& time) {
    return static_cast<double>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

UINT SlotWorkerProc(void* param) {
    auto* worker = static_cast<WorkerContext*>(param);
    return worker->owner->RunWorker(*worker);
}

}  // namespace

LoadWorkers::LoadWorkers() : m_traits(ReadProcessorTraits()) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    m_workers.assign(std::max<std::size_t>(kMinimumWorkerSlots, info.dwNumberOfProcessors), nullptr);
    const std::vector<ProcessorPlace>& places = AllowedProcessors();
    m_placement = SpreadOrder(places);
    for (const ProcessorPlace& place : places) m_tallyCount = std::max(m_tallyCount, place.processor + 1);
    m_tally = std::make_unique<ProcessorTally[]>(static_cast<std::size_t>(m_tallyCount));
}

LoadWorkers::~LoadWorkers() {
    StopWorkers();
    WaitForStoppedWorkers();  // workers still inside a pass read this object
}

void LoadWorkers::WaitForStoppedWorkers() {
    std::vector<Lingering> abandoned;
    for (Lingering& worker : m_lingering) {
        if (worker.abandoned || (worker.context != nullptr && worker.context->report.state.load() == WorkerState::Hung)) {
            abandoned.push_back(worker);
            continue;
        }
        WaitForSingleObject(worker.thread->m_hThread, INFINITE);
        delete worker.thread;
    }
    m_lingering = std::move(abandoned);
}

unsigned LoadWorkers::StopAllWorkers(DWORD milliseconds) {
    ReapLingeringWorkers();
    const StopClock::time_point deadline = StopClock::now() + std::chrono::milliseconds(milliseconds);
    for (std::size_t slot = 0; slot < m_workers.size(); ++slot) {
        if (m_workers[slot] == nullptr) continue;
        PostQuit(m_workers[slot]);
        Linger(m_workers[slot], std::move(m_contexts[slot]));
        m_workers[slot] = nullptr;
    }
    m_contexts.assign(m_workers.size(), nullptr);
    unsigned running = 0;
    m_givenUpAtStop.clear();
    for (Lingering& worker : m_lingering) {
        const bool hung = worker.context != nullptr && worker.context->report.state.load() == WorkerState::Hung;
        if (!worker.abandoned && !hung &&
            WaitForSingleObject(worker.thread->m_hThread, MillisecondsLeft(deadline)) == WAIT_OBJECT_0) {
            continue;
        }
        // Stuck, or slower than the bound: never waited for again; the program ends without it.
        if (!worker.abandoned && !hung && worker.context != nullptr) {
            const WorkerContext& context = *worker.context;
            const double cpu = ThreadCpuSeconds(worker.thread);
            const bool watched = context.watchedCpuSeconds >= 0.0 && context.report.passes.load() == context.watchedPasses;
            const std::uint64_t passes = context.report.passes.load();
            const double loaded = static_cast<double>(context.report.loadedNanoseconds.load()) * 1e-9;
            m_givenUpAtStop.push_back(HungWorker{context.slot, context.report.passProcessor.load(),
                                                 watched && cpu >= 0.0 ? cpu - context.watchedCpuSeconds : -1.0,
                                                 passes > 0 ? 20.0 * loaded / static_cast<double>(passes) : 10.0});
        }
        worker.abandoned = true;
        ++running;
    }
    ReapLingeringWorkers();
    m_abandoned = running;
    return running;
}

void LoadWorkers::StartWorkers(unsigned count) {
    StopWorkers();
    const unsigned started = std::min<unsigned>(count, WorkerSlotCount());
    m_contexts.assign(m_workers.size(), nullptr);
    m_startFailures = 0;
    m_startFailureReason.clear();
    for (unsigned slot = 0; slot < started; ++slot) {
        auto context = std::make_shared<WorkerContext>(this, slot);
        if (m_pin && !m_placement.empty()) context->targetProcessor = m_placement[slot % m_placement.size()];
        // Created suspended so that the table owns the thread object (no self-deletion) before the
        // thread can run: the table never points at a deleted object.
        CWinThread* worker = AfxBeginThread(SlotWorkerProc, context.get(), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        if (worker != nullptr) {
            worker->m_bAutoDelete = FALSE;
            m_contexts[slot] = std::move(context);
            ResumeThread(worker->m_hThread);
        } else {
            ++m_startFailures;
            if (m_startFailureReason.empty()) m_startFailureReason = LastThreadStartFailure();
        }
        m_workers[slot] = worker;
    }
    m_workerCount = count;
}

void LoadWorkers::StopWorkers() {
    ReapLingeringWorkers();
    m_contexts.resize(m_workers.size());
    const auto occupied = static_cast<unsigned>(
        std::count_if(m_workers.begin(), m_workers.end(), [](CWinThread* worker) { return worker != nullptr; }));
    if (occupied == 0) return;
    const StopClock::time_point deadline = StopClock::now() + std::chrono::milliseconds(kStopWaitTotalMs);
    // Beyond 16 workers every quit is posted first, so that all of them end within the same bound.
    const bool postAllFirst = occupied > kMinimumWorkerSlots;
    if (postAllFirst) {
        for (CWinThread* worker : m_workers)
            if (worker != nullptr) PostQuit(worker);
    }
    for (std::size_t slot = 0; slot < m_workers.size(); ++slot) {
        if (m_workers[slot] == nullptr) continue;
        CWinThread* worker = m_workers[slot];
        std::shared_ptr<WorkerContext> context = std::move(m_contexts[slot]);
        m_workers[slot] = nullptr;
        if (!postAllFirst) PostQuit(worker);
        const DWORD waitMs = std::min(kStopWaitPerWorkerMs, MillisecondsLeft(deadline));
        if (WaitForSingleObject(worker->m_hThread, waitMs) == WAIT_OBJECT_0) {
            delete worker;
        } else {
            Linger(worker, std::move(context));  // ends by itself at the end of its pass
        }
    }
}

void LoadWorkers::Linger(CWinThread* thread, std::shared_ptr<WorkerContext> context) {
    m_lingering.push_back(Lingering{thread, std::move(context)});
}

void LoadWorkers::ReapLingeringWorkers() {
    auto ended = [this](Lingering& worker) {
        if (WaitForSingleObject(worker.thread->m_hThread, 0) != WAIT_OBJECT_0) return false;
        if (worker.abandoned && m_abandoned > 0) --m_abandoned;
        delete worker.thread;
        return true;
    };
    m_lingering.erase(std::remove_if(m_lingering.begin(), m_lingering.end(), ended), m_lingering.end());
}

void LoadWorkers::SuspendWorkers() {
    for (CWinThread* worker : m_workers)
        if (worker != nullptr) SuspendThread(worker->m_hThread);
}

void LoadWorkers::ResumeWorkers() {
    for (CWinThread* worker : m_workers)
        if (worker != nullptr) ResumeThread(worker->m_hThread);
}

bool LoadWorkers::SetPriorityPair(DWORD priorityClass, int threadPriority) {
    const DWORD oldClass = m_priorityClass.exchange(priorityClass, std::memory_order_relaxed);
    const int oldPriority = m_threadPriority.exchange(threadPriority, std::memory_order_relaxed);
    LoadKernelKind kind = LoadKernelKind::X87;
    const bool pairInUse = ChosenKernel(&kind) && kind != LoadKernelKind::X87;
    const bool running = std::any_of(m_workers.begin(), m_workers.end(), [](CWinThread* w) { return w != nullptr; });
    if (!pairInUse || !running || PriorityChangeAllowed(oldClass, oldPriority, priorityClass, threadPriority)) {
        return false;
    }
    StartWorkers(m_workerCount);
    return true;
}

WorkerContext* LoadWorkers::Context(unsigned slot) const {
    return slot < m_contexts.size() && slot < m_workers.size() && m_workers[slot] != nullptr ? m_contexts[slot].get()
                                                                                            : nullptr;
}

std::vector<std::shared_ptr<WorkerContext>> LoadWorkers::ContextsInUse() const {
    std::vector<std::shared_ptr<WorkerContext>> contexts;
    for (const auto& context : m_contexts)
        if (context != nullptr) contexts.push_back(context);
    for (const Lingering& worker : m_lingering)
        if (worker.context != nullptr) contexts.push_back(worker.context);
    return contexts;
}

ProcessorTally* LoadWorkers::Tally(int processor) const {
    return processor >= 0 && processor < m_tallyCount ? &m_tally[static_cast<std::size_t>(processor)] : nullptr;
}

UINT WorkerThreadProc(void* param) {
    if (param == nullptr) return 0;
    WorkerContext own(static_cast<LoadWorkers*>(param), 0);
    return own.owner->RunWorker(own);
}

void LoadWorkers::SetDutyCycle(double periodSeconds, double onShare) {
    m_dutyEpoch.store(static_cast<double>(GetSeconds()), std::memory_order_relaxed);
    m_dutyOnShare.store(onShare, std::memory_order_relaxed);
    m_dutyPeriod.store(periodSeconds > 0.0 ? periodSeconds : 0.0, std::memory_order_relaxed);
}

double LoadWorkers::RestBeforeSlice() const {
    const double period = DutyPeriodSeconds();
    if (period <= 0.0) return 0.0;
    const double into = std::fmod(static_cast<double>(GetSeconds()) - m_dutyEpoch.load(std::memory_order_relaxed), period);
    const double on = DutyOnShare() * period;
    return into < on ? 0.0 : period - into;
}

double LoadWorkers::HangThresholdSeconds(std::uint64_t passes, double loadedSeconds) {
    // Before the first pass its length is unknown: the slowest kernel's first pass, with its
    // set-up, is far below this.
    if (passes == 0) return 10.0;
    return std::max(2.0, 20.0 * loadedSeconds / static_cast<double>(passes));
}

std::vector<HungWorker> LoadWorkers::FindHungWorkers() {
    std::vector<HungWorker> hung;
    for (std::size_t slot = 0; slot < m_workers.size(); ++slot) {
        WorkerContext* context = m_contexts.size() > slot ? m_contexts[slot].get() : nullptr;
        if (m_workers[slot] == nullptr || context == nullptr) continue;
        WorkerReport& report = context->report;
        const WorkerState state = report.state.load();
        if (state == WorkerState::Hung || state == WorkerState::Failed || state == WorkerState::Ended) continue;
        // Processor time, not wall time: a worker the system does not schedule (a busy machine, a
        // suspension) uses none and is never taken for stuck.
        const double cpuSeconds = ThreadCpuSeconds(m_workers[slot]);
        if (cpuSeconds < 0.0) continue;
        const std::uint64_t passes = report.passes.load();
        if (context->watchedCpuSeconds < 0.0 || passes != context->watchedPasses) {
            context->watchedPasses = passes;
            context->watchedCpuSeconds = cpuSeconds;
            continue;
        }
        const double stuck = cpuSeconds - context->watchedCpuSeconds;
        const double loaded = static_cast<double>(report.loadedNanoseconds.load()) * 1e-9;
        if (stuck < HangThresholdSeconds(passes, loaded)) continue;
        report.state.store(WorkerState::Hung);
        hung.push_back(HungWorker{static_cast<unsigned>(slot), report.passProcessor.load(), stuck});
    }
    return hung;
}

double LoadWorkers::ThreadCpuSeconds(CWinThread* thread) {
    FILETIME kernelTime{}, userTime{};
    if (thread == nullptr || !GetThreadTimes(thread->m_hThread, nullptr, nullptr, &kernelTime, &userTime)) return -1.0;
    return (FileTimeTo100ns(kernelTime) + FileTimeTo100ns(userTime)) * 1e-7;
}
