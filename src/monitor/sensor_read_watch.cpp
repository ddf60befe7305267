// The read under way, per watched thread.

#include "monitor/sensor_read_watch.h"

namespace {
thread_local SensorReadWatch* t_watch = nullptr;
}  // namespace

SensorReadWatch::SensorReadWatch(std::set<std::string> leftOut) : m_leftOut(std::move(leftOut)) {}

bool SensorReadWatch::Begin(const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (m_leftOut.count(path) != 0) return false;
    m_path = path;
    m_since = Clock::now();
    return true;
}

void SensorReadWatch::End() {
    std::lock_guard lock(m_mutex);
    m_path.clear();
}

std::optional<std::string> SensorReadWatch::StuckFor(Clock::duration limit) const {
    std::lock_guard lock(m_mutex);
    if (m_path.empty() || Clock::now() - m_since <= limit) return std::nullopt;
    return m_path;
}

std::set<std::string> SensorReadWatch::LeftOut() const {
    std::lock_guard lock(m_mutex);
    return m_leftOut;
}

void SensorReadWatch::WatchThisThread(SensorReadWatch* watch) { t_watch = watch; }

SensorReadWatch* SensorReadWatch::OfThisThread() { return t_watch; }
