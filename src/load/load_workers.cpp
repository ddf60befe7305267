// Starting and stopping the load workers, and the controlling function that picks their kernel.

#include "load/load_workers.h"

#include <algorithm>
#include <chrono>

#include "load/cpu_feature.h"
#include "load/cpu_vendor.h"
#include "platform/priority.h"
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

}  // namespace

LoadWorkers::LoadWorkers() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    m_workers.assign(std::max<std::size_t>(kMinimumWorkerSlots, info.dwNumberOfProcessors), nullptr);
}

LoadWorkers::~LoadWorkers() {
    StopWorkers();
    WaitForStoppedWorkers();  // workers still inside a pass read this object
}

void LoadWorkers::WaitForStoppedWorkers() {
    for (CWinThread* worker : m_lingering) {
        WaitForSingleObject(worker->m_hThread, INFINITE);
        delete worker;
    }
    m_lingering.clear();
}

void LoadWorkers::StartWorkers(unsigned count) {
    StopWorkers();
    const unsigned started = std::min<unsigned>(count, WorkerSlotCount());
    for (unsigned slot = 0; slot < started; ++slot) {
        // Created suspended so that the table owns the thread object (no self-deletion) before the
        // thread can run: the table never points at a deleted object.
        CWinThread* worker = AfxBeginThread(WorkerThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        if (worker != nullptr) {
            worker->m_bAutoDelete = FALSE;
            ResumeThread(worker->m_hThread);
        }
        m_workers[slot] = worker;
    }
    m_workerCount = count;
}

void LoadWorkers::StopWorkers() {
    ReapLingeringWorkers();
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
    for (CWinThread*& slot : m_workers) {
        if (slot == nullptr) continue;
        CWinThread* worker = slot;
        slot = nullptr;
        if (!postAllFirst) PostQuit(worker);
        const DWORD waitMs = std::min(kStopWaitPerWorkerMs, MillisecondsLeft(deadline));
        if (WaitForSingleObject(worker->m_hThread, waitMs) == WAIT_OBJECT_0) {
            delete worker;
        } else {
            m_lingering.push_back(worker);  // ends by itself at the end of its pass
        }
    }
}

void LoadWorkers::ReapLingeringWorkers() {
    auto ended = [](CWinThread* worker) {
        if (WaitForSingleObject(worker->m_hThread, 0) != WAIT_OBJECT_0) return false;
        delete worker;
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

void LoadWorkers::SetPriorityPair(DWORD priorityClass, int threadPriority) {
    m_priorityClass.store(priorityClass, std::memory_order_relaxed);
    m_threadPriority.store(threadPriority, std::memory_order_relaxed);
}

UINT WorkerThreadProc(void* param) {
    if (param == nullptr) return 0;
    auto* workers = static_cast<LoadWorkers*>(param);
    // A "GenuineIntel" processor without SSE cannot run the SSE kernel: it gets the x87 kernel,
    // like every other processor.
    if (GetCpuVendor() == CpuVendorIntel && GetCpuFeature(CpuFeatureSse) != 0) return workers->RunSseKernel();
    return workers->RunX87Kernel();
}
