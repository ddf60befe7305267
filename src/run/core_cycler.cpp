#include "run/core_cycler.h"

#include <algorithm>

CoreCycler::CoreCycler(std::vector<int> processors, double periodSeconds, double startSeconds)
    : m_processors(std::move(processors)),
      m_refused(m_processors.size(), false),
      m_period(periodSeconds > 0 ? periodSeconds : 60.0),
      m_nextMove(startSeconds + m_period) {}

int CoreCycler::Current() const {
    return m_index < m_processors.size() && !m_refused[m_index] ? m_processors[m_index] : -1;
}

int CoreCycler::ProcessorAt(double now) {
    if (m_processors.empty()) return -1;
    const bool anyUsable = std::find(m_refused.begin(), m_refused.end(), false) != m_refused.end();
    if (!anyUsable) return -1;
    // A long pause (a suspended machine) moves on once, not once per missed period.
    bool move = now >= m_nextMove;
    if (move) {
        m_nextMove += m_period;
        if (m_nextMove <= now) m_nextMove = now + m_period;
    }
    while (move || m_refused[m_index]) {
        m_index = (m_index + 1) % m_processors.size();
        move = false;
    }
    return Current();
}

void CoreCycler::Refuse(int processor, double now) {
    for (std::size_t i = 0; i < m_processors.size(); ++i) {
        if (m_processors[i] != processor || m_refused[i]) continue;
        m_refused[i] = true;
        if (i == m_index) m_nextMove = now + m_period;  // the next one gets a whole period
    }
}
