// Sensors found and swept on a watched thread; a stuck read is given up, never waited for.

#include "monitor/sensor_sweeper.h"

#include <condition_variable>
#include <mutex>
#include <system_error>

#include "monitor/sensor_read_watch.h"
#include "monitor/sysfs_sensors.h"

namespace {

// Sweeps taken in at most this many readings (an owner that did not take them for minutes loses
// the newest).
constexpr std::size_t kMostPendingReadings = 100000;

std::string Seconds(std::chrono::milliseconds duration) {
    const long long tenths = duration.count() / 100;
    return std::to_string(tenths / 10) + (tenths % 10 != 0 ? "." + std::to_string(tenths % 10) : "") + " s";
}

}  // namespace

struct SensorSweeper::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    bool sweeping = false;    // Start was called
    bool stopping = false;    // Stop was called
    unsigned generation = 0;  // the thread of this generation is the current one; older ones are left behind
    bool exited = true;       // no current thread runs
    std::shared_ptr<SensorReadWatch> watch;  // the current thread's
    Discovery found;
    Sweeps sweeps;
    std::vector<SensorReading> latest;  // the last sweep's
};

// One sweeping thread: finds the sensors (its reads watched like the sweeps'), then sweeps until
// stopped or left behind. Everything it touches is its own or in shared, which it keeps alive.
void SensorSweeper::SweepThread(std::shared_ptr<Shared> shared, unsigned generation, std::shared_ptr<SensorReadWatch> watch,
                                SysfsRoot root, std::chrono::milliseconds interval) {
    SensorReadWatch::WatchThisThread(watch.get());
    SysfsSensors sensors(root);
    bool any = false;
    for (MonitorSource* source : sensors.Sources()) any = any || source->IsAvailable();
    std::unique_lock lock(shared->mutex);
    const auto current = [&] { return generation == shared->generation; };
    if (!current()) return;
    shared->found = Discovery{true, any, any ? std::string() : !sensors.RootProblem().empty() ? sensors.RootProblem()
                                                                 : "this machine shows no temperature, frequency or power sensors",
                              sensors.temperatures.ProcessorCriticalPoints()};
    shared->wake.notify_all();
    while (any && current()) {
        shared->wake.wait(lock, [&] { return shared->sweeping || shared->stopping || !current(); });
        if (shared->stopping || !current()) break;
        lock.unlock();
        std::vector<SensorReading> readings = sensors.Sweep();
        const std::vector<ThrottleCount>& counts = sensors.throttleCounts.LastCounts();
        lock.lock();
        if (!current()) break;
        shared->latest = readings;
        auto& pending = shared->sweeps;
        if (pending.readings.size() < kMostPendingReadings) {
            pending.newestAt = pending.readings.size();
            pending.readings.insert(pending.readings.end(), std::make_move_iterator(readings.begin()),
                                    std::make_move_iterator(readings.end()));
            pending.counts.insert(pending.counts.end(), counts.begin(), counts.end());
        }
        shared->wake.wait_for(lock, interval, [&] { return shared->stopping || !current(); });
    }
    if (current()) shared->exited = true;
    shared->wake.notify_all();
    SensorReadWatch::WatchThisThread(nullptr);
}

SensorSweeper::SensorSweeper(const SysfsRoot& root, Settings settings)
    : m_root(root), m_settings(settings), m_shared(std::make_shared<Shared>()) {
    Launch({});
    // The owner may be the run's main thread, which must stay free for signals: a bounded wait.
    std::unique_lock lock(m_shared->mutex);
    m_shared->wake.wait_for(lock, m_settings.discoveryWait, [&] { return m_shared->found.done; });
}

SensorSweeper::~SensorSweeper() { Stop(); }

void SensorSweeper::Launch(std::set<std::string> leftOut) {
    auto watch = std::make_shared<SensorReadWatch>(std::move(leftOut));
    unsigned generation = 0;
    {
        std::lock_guard lock(m_shared->mutex);
        generation = ++m_shared->generation;
        m_shared->watch = watch;
        m_shared->exited = false;
    }
    try {
        m_thread = std::thread(&SensorSweeper::SweepThread, m_shared, generation, watch, m_root, m_settings.interval);
    } catch (const std::system_error& error) {
        // The system refused the thread (a process limit): no sensors, and the run goes on.
        std::lock_guard lock(m_shared->mutex);
        m_shared->exited = true;
        m_shared->found = Discovery{true, false, std::string("the sensor thread could not start: ") + error.what(), {}};
        m_shared->wake.notify_all();
    }
}

void SensorSweeper::Start() {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->sweeping = true;
    }
    m_shared->wake.notify_all();
}

void SensorSweeper::Stop() {
    std::unique_lock lock(m_shared->mutex);
    m_shared->stopping = true;
    m_shared->wake.notify_all();
    // A sweep under way ends within a read's time; one that does not is stuck and left behind.
    while (!m_shared->exited && !(m_shared->watch && m_shared->watch->StuckFor(m_settings.readLimit)))
        m_shared->wake.wait_for(lock, std::chrono::milliseconds(20), [&] { return m_shared->exited; });
    const bool exited = m_shared->exited;
    if (!exited) ++m_shared->generation;  // whatever it does when it comes back is dropped
    lock.unlock();
    if (!m_thread.joinable()) return;
    if (exited) m_thread.join();
    else m_thread.detach();
}

SensorSweeper::Discovery SensorSweeper::Found() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->found;
}

void SensorSweeper::GiveUpStuckRead() {
    std::shared_ptr<SensorReadWatch> watch;
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->stopping || m_shared->exited) return;
        watch = m_shared->watch;
    }
    const std::optional<std::string> stuck = watch ? watch->StuckFor(m_settings.readLimit) : std::nullopt;
    if (!stuck) return;
    std::set<std::string> leftOut = watch->LeftOut();
    leftOut.insert(*stuck);
    const bool givingUp = ++m_stuckThreads > m_settings.mostStuckThreads;
    {
        std::lock_guard lock(m_shared->mutex);
        ++m_shared->generation;  // the stuck thread is left behind
        m_shared->exited = true;
        m_shared->watch.reset();
        m_shared->sweeps.notes.push_back("sensor file " + *stuck + " did not answer within " + Seconds(m_settings.readLimit) +
                                         ": it is left out from now on");
        if (givingUp) m_shared->sweeps.notes.push_back("the sensors keep failing to answer: no sensor is read from now on");
    }
    m_shared->wake.notify_all();
    m_thread.detach();
    if (!givingUp) Launch(std::move(leftOut));
}

SensorSweeper::Sweeps SensorSweeper::Take() {
    GiveUpStuckRead();
    Sweeps sweeps;
    std::lock_guard lock(m_shared->mutex);
    std::swap(sweeps, m_shared->sweeps);
    return sweeps;
}

std::vector<SensorReading> SensorSweeper::Latest() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->latest;
}
