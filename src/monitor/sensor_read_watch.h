#pragma once
// A watch over one thread's sensor reads: which file it is reading and since when, so another
// thread can tell a read that does not come back (a driver waiting on a stuck bus) and leave that
// file out from then on. The sysfs readers report every read to the watch of their thread, if it
// has one.

#include <chrono>
#include <mutex>
#include <optional>
#include <set>
#include <string>

class SensorReadWatch {
public:
    using Clock = std::chrono::steady_clock;

    // leftOut: files (or folders) not to be read at all.
    explicit SensorReadWatch(std::set<std::string> leftOut = {});

    // A read of path begins; false, and nothing to read, when path is left out.
    bool Begin(const std::string& path);
    void End();

    // From any thread: the file whose read has been under way for longer than limit, if any.
    std::optional<std::string> StuckFor(Clock::duration limit) const;
    std::set<std::string> LeftOut() const;

    // The calling thread's reads report to watch from now on (null: to none).
    static void WatchThisThread(SensorReadWatch* watch);
    static SensorReadWatch* OfThisThread();

private:
    mutable std::mutex m_mutex;
    std::set<std::string> m_leftOut;
    std::string m_path;  // the read under way; empty when none
    Clock::time_point m_since;
};

// Begin and End around one read, on the calling thread's watch (if any).
class WatchedRead {
public:
    explicit WatchedRead(const std::string& path)
        : m_watch(SensorReadWatch::OfThisThread()), m_allowed(m_watch == nullptr || m_watch->Begin(path)) {}
    ~WatchedRead() {
        if (m_watch != nullptr && m_allowed) m_watch->End();
    }
    WatchedRead(const WatchedRead&) = delete;
    WatchedRead& operator=(const WatchedRead&) = delete;
    // False when the path is left out: do not read it.
    bool Allowed() const { return m_allowed; }

private:
    SensorReadWatch* m_watch;
    bool m_allowed;
};
