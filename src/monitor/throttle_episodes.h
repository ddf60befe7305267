#pragma once
// Throttling as episodes: one per package counter, per core counter and per processor's clock
// drop, from the first sign to the last, however many processors show it and however many sweeps
// it lasts. A counter episode ends when its counter stays quiet for a while, a clock drop when the
// clock is back, every open one when the run ends; each ended episode is handed out once. Memory
// stays bounded: the first episodes are kept in full, later ones only counted.

#include <cstddef>
#include <cstdint>
#include <tuple>
#include <vector>

#include "monitor/throttle_detector.h"

struct ThrottleEpisode {
    ThrottleReason reason = ThrottleReason::kClockDrop;
    int package = -1;             // the package it belongs to; -1 when the topology does not say
    int core = -1;                // the core of a core counter; -1 when unknown or not a core counter
    std::vector<int> processors;  // the processors that showed it, ascending
    double startSeconds = 0.0;    // the sweep that first saw the counter rise, or the first low clock
    double endSeconds = 0.0;      // the last rise, or when the clock was back (the run's end if open)
    std::uint64_t counts = 0;     // how far the counter rose over the episode (0 for a clock drop)
    double lowestHertz = 0.0;     // clock drops: the clock when it was found low, and its usual clock
    double medianHertz = 0.0;
};

class ThrottleEpisodes {
public:
    struct Settings {
        double quietSeconds = 10.0;     // a counter quiet this long ends its episode
        std::size_t keptInFull = 100;   // ended episodes kept whole; later ones are only counted
    };

    ThrottleEpisodes() : ThrottleEpisodes(Settings{}) {}
    explicit ThrottleEpisodes(Settings settings) : m_settings(settings) {}

    // An event of ThrottleDetector; package and core say where its processor sits (-1: unknown).
    // Counter events of one package (or core) join that package's open episode.
    void Add(const ThrottleEvent& event, int package = -1, int core = -1);
    // The processor's clock is back at seconds: its clock-drop episode, if open, ends.
    void ClockBack(int processor, double seconds);
    // Ends the counter episodes quiet since quietSeconds before seconds; gives every episode that
    // ended since the last call, once.
    std::vector<ThrottleEpisode> TakeEnded(double seconds);
    // Ends every open episode at seconds (the run ends) and gives them with the untaken ones.
    std::vector<ThrottleEpisode> EndAll(double seconds);

    // Every episode so far, open ones included.
    std::size_t Count() const { return m_endedCount + m_open.size(); }
    // The first keptInFull ended episodes, in the order they ended, and those still open.
    const std::vector<ThrottleEpisode>& Kept() const { return m_kept; }
    const std::vector<ThrottleEpisode>& Open() const { return m_openEpisodes; }
    // Ended episodes beyond keptInFull: counted, not kept.
    std::size_t NotKept() const { return m_endedCount - m_kept.size(); }

private:
    using Key = std::tuple<int, int, int, int>;  // reason, package, core, processor (-1 where grouped)
    struct OpenEpisode {
        Key key;
        std::uint64_t firstCount = 0;  // the counter before the episode
        std::uint64_t lastCount = 0;
    };
    void End(std::size_t index, double seconds);

    Settings m_settings;
    std::vector<OpenEpisode> m_open;             // parallel to m_openEpisodes
    std::vector<ThrottleEpisode> m_openEpisodes;
    std::vector<ThrottleEpisode> m_kept;
    std::vector<ThrottleEpisode> m_untaken;      // ended and not yet handed out (at most kMostUntaken)
    std::size_t m_endedCount = 0;
};
