// Measured core clocks handed over by the load workers.

#include "monitor/effective_clock_source.h"

#include <cmath>
#include <string>

static_assert(std::atomic<double>::is_always_lock_free, "the workers' hand-over must not take a lock");

EffectiveClockSource::EffectiveClockSource(int processorCount)
    : m_processorCount(processorCount > 0 ? processorCount : 0),
      m_slots(std::make_unique<Slot[]>(static_cast<std::size_t>(m_processorCount))),
      m_publicationsSeen(static_cast<std::size_t>(m_processorCount), 0) {}

void EffectiveClockSource::Publish(int processor, double hertz) {
    if (processor < 0 || processor >= m_processorCount) return;
    Slot& slot = m_slots[static_cast<std::size_t>(processor)];
    slot.hertz.store(std::isfinite(hertz) && hertz > 0.0 ? hertz : 0.0, std::memory_order_relaxed);
    // Release: a reader that sees the new count sees the value stored before it.
    slot.publications.fetch_add(1, std::memory_order_release);
}

void EffectiveClockSource::Withdraw(int processor) { Publish(processor, 0.0); }

bool EffectiveClockSource::IsAvailable() const {
    for (int processor = 0; processor < m_processorCount; ++processor) {
        if (m_slots[static_cast<std::size_t>(processor)].hertz.load(std::memory_order_relaxed) > 0.0) return true;
    }
    return false;
}

std::vector<SensorReading> EffectiveClockSource::Read() { return Collect(false); }

std::vector<SensorReading> EffectiveClockSource::ReadNew() { return Collect(true); }

std::vector<SensorReading> EffectiveClockSource::Collect(bool onlyNew) {
    std::vector<SensorReading> readings;
    for (int processor = 0; processor < m_processorCount; ++processor) {
        const auto index = static_cast<std::size_t>(processor);
        const std::uint64_t publications = m_slots[index].publications.load(std::memory_order_acquire);
        const double hertz = m_slots[index].hertz.load(std::memory_order_relaxed);
        if (onlyNew) {
            if (publications == m_publicationsSeen[index]) continue;
            m_publicationsSeen[index] = publications;
        }
        if (hertz <= 0.0) continue;
        const std::string number = std::to_string(processor);
        readings.push_back({Name(), "cpu" + number, "CPU " + number, {}, processor, Unit(), hertz});
    }
    return readings;
}
