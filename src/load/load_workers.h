#pragma once
// The load workers: up to one thread per processor (or more, up to the table's size), each running
// a load kernel in passes until it is told to quit. Between passes a worker keeps to the processor
// it is given, checks its work (see src/check) and reports what it found in its WorkerReport and
// the per-processor tallies, without locks. The application object derives from LoadWorkers.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "load/load_kernel.h"
#include "load/worker_report.h"
#include "platform/thread.h"
#include "platform/win_types.h"

class FaultInjector;
class LoadWorkers;

// One started worker: where it should run and what it reports. Owned by the table (and kept until
// its thread has ended); the worker thread gets it as its parameter.
struct WorkerContext {
    WorkerContext(LoadWorkers* owner, unsigned slot) : owner(owner), slot(slot) {}
    LoadWorkers* const owner;
    const unsigned slot;
    // The logical processor the worker keeps to from its next pass on; -1: any allowed one.
    std::atomic<int> targetProcessor{-1};
    WorkerReport report;
    // The watchdog's view (the thread that owns the table only): the passes it last saw, and the
    // worker's processor time then.
    std::uint64_t watchedPasses = 0;
    double watchedCpuSeconds = -1.0;
};

// A worker the watchdog found stuck.
struct HungWorker {
    unsigned slot = 0;
    int processor = -1;        // where its stuck pass started
    double cpuSeconds = 0.0;   // the processor time it used without finishing a pass (-1: unknown)
    double passesWorth = 0.0;  // 20 of its passes' processor time (10 s before its first pass)
};

class LoadWorkers {
public:
    // The table holds 16 slots, or one per processor on machines with more.
    static constexpr unsigned kMinimumWorkerSlots = 16;
    // A worker checks its work after the first pass that ends this long after its last check.
    static constexpr double kCheckIntervalSeconds = 0.25;

    LoadWorkers();
    virtual ~LoadWorkers();
    LoadWorkers(const LoadWorkers&) = delete;
    LoadWorkers& operator=(const LoadWorkers&) = delete;

    // Stops every worker, then starts count workers (as many as the table holds), pinned by the
    // placement order when pinning is on. m_workerCount is set to count, also when it is 0. The
    // table owns the thread objects.
    void StartWorkers(unsigned count);
    // Tells every worker to quit, in slot order: up to 16 workers, each is posted its quit and
    // waited for up to 200 ms in turn; beyond 16, every quit is posted first and the waits share
    // the same 3.2 s. A worker still inside its pass then ends by itself at the pass end.
    void StopWorkers();
    // Tells every worker to quit at once and waits for all of them together, at most milliseconds
    // in all (a stop takes about one pass, whatever the count). Returns how many had not ended:
    // those are given up (their threads are never waited for again), so the program can end.
    unsigned StopAllWorkers(DWORD milliseconds);
    // Workers given up by StopAllWorkers or found stuck by the watchdog, still running.
    unsigned AbandonedWorkers() const { return m_abandoned; }
    // Those the last StopAllWorkers gave up that the watchdog had not found stuck, with the
    // processor time each used since it last finished a pass.
    const std::vector<HungWorker>& GivenUpAtStop() const { return m_givenUpAtStop; }
    // Stop every worker wherever it is, and let them go on; a worker keeps its state.
    void SuspendWorkers();
    void ResumeWorkers();

    // The priority pair of the next passes of the kernels that use it (all but the x87 mix, whose
    // passes always run at the highest pair). When the system would refuse to move the running
    // workers to the new pair (Linux lets an ordinary user lower a thread's priority but not raise
    // it again), they are restarted: new threads start from the process's own value. True then.
    bool SetPriorityPair(DWORD priorityClass, int threadPriority);

    // Settings read when workers start (pinning, the kernel) or at every check (stop on error).
    void SetPinning(bool pin) { m_pin = pin; }
    bool Pinning() const { return m_pin; }
    void SetStopOnError(bool stop) { m_stopOnError.store(stop, std::memory_order_relaxed); }
    bool StopOnError() const { return m_stopOnError.load(std::memory_order_relaxed); }
    void SetLoadChoice(LoadChoice choice) { m_loadChoice = choice; }
    LoadChoice GetLoadChoice() const { return m_loadChoice; }
    // What the kernel choice depends on (tests inject other processors).
    void SetProcessorTraits(const ProcessorTraits& traits) { m_traits = traits; }
    const ProcessorTraits& GetProcessorTraits() const { return m_traits; }
    // The kernel the workers run, or false when the processor cannot run the chosen one.
    bool ChosenKernel(LoadKernelKind* kind) const { return ChooseKernel(m_loadChoice, m_traits, kind); }
    // A variable load: the workers work for onShare of every period and rest for the rest, all
    // switching together, in slices of about a fiftieth of a pass (periodSeconds 0: a steady load).
    void SetDutyCycle(double periodSeconds, double onShare);
    double DutyPeriodSeconds() const { return m_dutyPeriod.load(std::memory_order_relaxed); }
    double DutyOnShare() const { return m_dutyOnShare.load(std::memory_order_relaxed); }
    // Makes the kernels this library does not hold (the cache and memory loads of src/memtest),
    // on the worker's thread; it returns null for a kind it cannot make now. Set before
    // StartWorkers; it must outlive every worker it made a kernel for.
    using KernelFactory = std::function<std::unique_ptr<LoadKernel>(LoadKernelKind)>;
    void SetKernelFactory(KernelFactory factory) { m_kernelFactory = std::move(factory); }
    // Makes checks report an injected fault (null: none). Set before StartWorkers.
    void SetFaultInjector(FaultInjector* injector) { m_injector = injector; }

    // Run on a worker thread; return 0 when the worker has seen its quit message. Without a
    // context the worker reports to one of its own.
    DWORD RunSseKernel(WorkerContext* worker = nullptr);
    DWORD RunX87Kernel(WorkerContext* worker = nullptr);
    // The kernel of the current choice; returns at once when the processor cannot run it.
    DWORD RunWorker(WorkerContext& worker);

    unsigned WorkerSlotCount() const { return static_cast<unsigned>(m_workers.size()); }
    // The context of the worker in slot (null when the slot is empty or was filled by hand).
    WorkerContext* Context(unsigned slot) const;
    // Every context still in use: the running workers' and those of stopped workers that have not
    // ended yet (their last events are still to be read).
    std::vector<std::shared_ptr<WorkerContext>> ContextsInUse() const;
    // The processors in the order workers are placed: distinct physical cores first.
    const std::vector<int>& PlacementOrder() const { return m_placement; }
    // The tally of a logical processor (null outside the allowed set's range).
    ProcessorTally* Tally(int processor) const;
    int TallyCount() const { return m_tallyCount; }

    // Waits until every worker told to quit has ended (the destructor does this too), except those
    // given up: they may never end.
    void WaitForStoppedWorkers();

    // Workers the last StartWorkers could not start (the system refused the thread), and why.
    unsigned StartFailures() const { return m_startFailures; }
    const std::string& StartFailureReason() const { return m_startFailureReason; }

    // The watchdog, run on the thread that owns the table (about ten times a second): a worker that
    // has used 20 of its own passes' processor time (at least 2 s; 10 s before its first pass)
    // without finishing a pass is stuck. Each is returned once, its state set to Hung; it can never
    // be stopped, only given up.
    std::vector<HungWorker> FindHungWorkers();
    static double HangThresholdSeconds(std::uint64_t passes, double loadedSeconds);

    // Lets an injected endless pass end when release becomes true (tests only; null: never).
    void SetHangRelease(const std::atomic<bool>* release) { m_hangRelease = release; }

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
    struct Lingering {
        CWinThread* thread;
        std::shared_ptr<WorkerContext> context;
        bool abandoned = false;  // given up: never waited for, never deleted
    };

    DWORD RunKernelPasses(WorkerContext& worker, LoadKernelKind kind);
    std::unique_ptr<LoadKernel> MakeKernel(LoadKernelKind kind) const;
    // A finished pass in the worker's record and its processor's tally.
    void CountPass(WorkerContext& worker, int processor, std::int64_t passNanoseconds);
    // An error of work that started on processor and ended on endProcessor, blamed on both; false
    // when the worker must stop loading (stop on error).
    bool ReportError(WorkerContext& worker, WorkerEvent event, int processor, int endProcessor);
    // Under a variable load, how long the worker must rest before its next slice (0: none).
    double RestBeforeSlice() const;
    // The check between passes when one is due. False when the worker must stop loading.
    bool CheckBetweenPasses(WorkerContext& worker, LoadKernel& kernel, std::uint64_t* checkArea, double* lastCheck);
    void NotifyPassStarting() {
        if (m_passObserver != nullptr) m_passObserver(*this, m_passObserverContext);
    }
    // Deletes the thread objects of stopped workers that have ended since.
    void ReapLingeringWorkers();
    void Linger(CWinThread* thread, std::shared_ptr<WorkerContext> context);
    // The processor time of a worker's thread in seconds; negative when it cannot be read.
    static double ThreadCpuSeconds(CWinThread* thread);

    std::vector<std::shared_ptr<WorkerContext>> m_contexts;  // beside m_workers
    // Workers told to quit that had not ended within their wait; their objects are kept until they
    // have, and the destructor waits for them (they still read this object).
    std::vector<Lingering> m_lingering;
    std::vector<int> m_placement;
    std::unique_ptr<ProcessorTally[]> m_tally;
    int m_tallyCount = 0;
    bool m_pin = true;
    std::atomic<bool> m_stopOnError{false};
    LoadChoice m_loadChoice = LoadChoice::Widest;
    ProcessorTraits m_traits;
    FaultInjector* m_injector = nullptr;
    KernelFactory m_kernelFactory;
    const std::atomic<bool>* m_hangRelease = nullptr;
    std::atomic<double> m_dutyPeriod{0.0};
    std::atomic<double> m_dutyOnShare{1.0};
    std::atomic<double> m_dutyEpoch{0.0};
    unsigned m_abandoned = 0;
    std::vector<HungWorker> m_givenUpAtStop;
    unsigned m_startFailures = 0;
    std::string m_startFailureReason;
    PassObserver m_passObserver = nullptr;
    void* m_passObserverContext = nullptr;
};

// A worker outside the table: param is the LoadWorkers object (null: returns 0 at once); it runs
// the kernel of the current choice, unpinned, reporting to a context of its own.
UINT WorkerThreadProc(void* param);
