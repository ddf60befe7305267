// Throttle events grouped into episodes.

#include "monitor/throttle_episodes.h"

#include <algorithm>

namespace {

// Ended episodes waiting for TakeEnded; a caller that never takes them loses the later ones.
constexpr std::size_t kMostUntaken = 4096;

}  // namespace

void ThrottleEpisodes::Add(const ThrottleEvent& event, int package, int core) {
    const bool clock = event.reason == ThrottleReason::kClockDrop;
    const bool grouped = !clock && (event.reason == ThrottleReason::kPackageThrottleCount || core >= 0);
    // A package counter is one counter shown by every processor of its package, a core counter
    // one shown by the processors of its core: they make one episode, not one per processor.
    const Key key{static_cast<int>(event.reason), grouped ? package : -1,
                  event.reason == ThrottleReason::kCoreThrottleCount && grouped ? core : -1,
                  grouped ? -1 : event.processor};
    const auto found = std::find_if(m_open.begin(), m_open.end(), [&](const OpenEpisode& open) { return open.key == key; });
    if (found == m_open.end()) {
        ThrottleEpisode episode;
        episode.reason = event.reason;
        episode.package = package;
        episode.core = event.reason == ThrottleReason::kCoreThrottleCount ? core : -1;
        episode.processors = {event.processor};
        episode.startSeconds = clock ? event.sinceSeconds : event.seconds;
        episode.endSeconds = event.seconds;
        OpenEpisode open{key, 0, 0};
        if (clock) {
            episode.lowestHertz = event.value;
            episode.medianHertz = event.reference;
        } else {
            open.firstCount = static_cast<std::uint64_t>(event.reference);
            open.lastCount = static_cast<std::uint64_t>(event.value);
            episode.counts = open.lastCount - open.firstCount;
        }
        m_open.push_back(open);
        m_openEpisodes.push_back(std::move(episode));
        return;
    }
    ThrottleEpisode& episode = m_openEpisodes[static_cast<std::size_t>(found - m_open.begin())];
    const auto at = std::lower_bound(episode.processors.begin(), episode.processors.end(), event.processor);
    if (at == episode.processors.end() || *at != event.processor) episode.processors.insert(at, event.processor);
    episode.endSeconds = std::max(episode.endSeconds, event.seconds);
    if (!clock) {
        // Every processor shows the same counter: its highest value so far, less where it started.
        found->lastCount = std::max(found->lastCount, static_cast<std::uint64_t>(event.value));
        found->firstCount = std::min(found->firstCount, static_cast<std::uint64_t>(event.reference));
        episode.counts = found->lastCount - found->firstCount;
    }
}

void ThrottleEpisodes::ClockBack(int processor, double seconds) {
    const Key key{static_cast<int>(ThrottleReason::kClockDrop), -1, -1, processor};
    for (std::size_t i = 0; i < m_open.size(); ++i) {
        if (m_open[i].key != key) continue;
        m_openEpisodes[i].endSeconds = std::max(m_openEpisodes[i].endSeconds, seconds);
        End(i, m_openEpisodes[i].endSeconds);
        return;
    }
}

void ThrottleEpisodes::End(std::size_t index, double seconds) {
    ThrottleEpisode episode = std::move(m_openEpisodes[index]);
    episode.endSeconds = std::max(episode.startSeconds, seconds);
    m_open.erase(m_open.begin() + static_cast<std::ptrdiff_t>(index));
    m_openEpisodes.erase(m_openEpisodes.begin() + static_cast<std::ptrdiff_t>(index));
    ++m_endedCount;
    if (m_kept.size() < m_settings.keptInFull) m_kept.push_back(episode);
    if (m_untaken.size() < kMostUntaken) m_untaken.push_back(std::move(episode));
}

std::vector<ThrottleEpisode> ThrottleEpisodes::TakeEnded(double seconds) {
    for (std::size_t i = m_open.size(); i-- > 0;) {
        const ThrottleEpisode& episode = m_openEpisodes[i];
        if (episode.reason != ThrottleReason::kClockDrop && seconds - episode.endSeconds >= m_settings.quietSeconds)
            End(i, episode.endSeconds);
    }
    std::vector<ThrottleEpisode> ended;
    ended.swap(m_untaken);
    std::sort(ended.begin(), ended.end(),
              [](const ThrottleEpisode& a, const ThrottleEpisode& b) { return a.startSeconds < b.startSeconds; });
    return ended;
}

std::vector<ThrottleEpisode> ThrottleEpisodes::EndAll(double seconds) {
    while (!m_open.empty()) {
        const ThrottleEpisode& episode = m_openEpisodes.back();
        // A counter episode ends with its last rise; a clock still low is low until now.
        End(m_open.size() - 1, episode.reason == ThrottleReason::kClockDrop ? seconds : episode.endSeconds);
    }
    return TakeEnded(seconds);
}
