#pragma once
// Core cycling: one worker visits the processors one after another, a period on each, round after
// round, as overclockers test boost clocks one busy core at a time. A processor the system refuses
// is skipped from then on.

#include <vector>

class CoreCycler {
public:
    CoreCycler() = default;
    CoreCycler(std::vector<int> processors, double periodSeconds, double startSeconds);

    bool Active() const { return !m_processors.empty(); }
    // The processor to be on at time now (seconds on the run's clock); -1 when none is left.
    int ProcessorAt(double now);
    // The processor cannot be used: skip it, and move on at once if it is the current one.
    void Refuse(int processor, double now);
    double PeriodSeconds() const { return m_period; }

private:
    int Current() const;
    std::vector<int> m_processors;
    std::vector<bool> m_refused;
    double m_period = 60.0;
    double m_nextMove = 0.0;
    std::size_t m_index = 0;
};
