#pragma once
// The load workers: up to one thread per processor, each running a load kernel in passes until it
// is told to quit. The application object derives from LoadWorkers and is every worker's thread
// parameter.

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/thread.h"
#include "platform/win_types.h"

class LoadWorkers {
public:
    // The table holds 16 slots, or one per processor on machines with more.
    static constexpr unsigned kMinimumWorkerSlots = 16;

    LoadWorkers();
    virtual ~LoadWorkers();
    LoadWorkers(const LoadWorkers&) = delete;
    LoadWorkers& operator=(const LoadWorkers&) = delete;

    // Stops every worker, then starts count workers (as many as the table holds). m_workerCount
    // is set to count, also when it is 0. The table owns the thread objects.
    void StartWorkers(unsigned count);
    // Tells every worker to quit, in slot order: up to 16 workers, each is posted its quit and
    // waited for up to 200 ms in turn; beyond 16, every quit is posted first and the waits share
    // the same 3.2 s. A worker still inside its pass then ends by itself at the pass end.
    void StopWorkers();
    // Stop every worker wherever it is, and let them go on; a worker keeps its state.
    void SuspendWorkers();
    void ResumeWorkers();

    // The priority pair of the next RunSseKernel passes (written by the user-interface thread).
    void SetPriorityPair(DWORD priorityClass, int threadPriority);

    // Run on a worker thread; return 0 when the worker has seen its quit message.
    DWORD RunSseKernel();
    DWORD RunX87Kernel();

    unsigned WorkerSlotCount() const { return static_cast<unsigned>(m_workers.size()); }

    // Waits until every worker told to quit has ended (the destructor does this too).
    void WaitForStoppedWorkers();

    // Called on the worker thread at the start of every pass, after the pass's priorities are
    // set; tests observe the passes through it. Set it before StartWorkers.
    using PassObserver = void (*)(LoadWorkers& workers, void* context);
    void SetPassObserver(PassObserver observer, void* context) {
        m_passObserver = observer;
        m_passObserverContext = context;
    }

    std::vector<CWinThread*> m_workers;  // null when empty; slot i holds worker i
    std::uint32_t m_workerCount = 0;
    // Read by the workers at every pass start, without a lock.
    std::atomic<std::uint32_t> m_priorityClass{NORMAL_PRIORITY_CLASS};
    std::atomic<std::int32_t> m_threadPriority{THREAD_PRIORITY_NORMAL};

private:
    void NotifyPassStarting() {
        if (m_passObserver != nullptr) m_passObserver(*this, m_passObserverContext);
    }
    // Deletes the thread objects of stopped workers that have ended since.
    void ReapLingeringWorkers();

    // Workers told to quit that had not ended within their wait; their objects are kept until they
    // have, and the destructor waits for them (they still read the priority pair).
    std::vector<CWinThread*> m_lingering;
    PassObserver m_passObserver = nullptr;
    void* m_passObserverContext = nullptr;
};

// The controlling function of every worker: param is the LoadWorkers object (null: returns 0 at
// once). Runs RunSseKernel on a "GenuineIntel" processor with SSE, RunX87Kernel elsewhere.
UINT WorkerThreadProc(void* param);
