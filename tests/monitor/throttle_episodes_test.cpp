// Throttling episodes: a counter shown by every processor of a package or core is one episode
// however many processors and sweeps show it; episodes end when quiet, when the clock is back or
// at the run's end, each handed out once; only the first ones are kept in full.

#include "monitor/throttle_episodes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Rise {
    double seconds;
    int processor;
    ThrottleCounter counter;
    std::uint64_t count;
    int package;
    int core;
};

struct Expected {
    ThrottleReason reason;
    int package;
    int core;
    std::vector<int> processors;
    double start;
    double end;
    std::uint64_t counts;
};

// Feeds the counts through a detector (as the run's monitor does) and ends everything at `end`.
std::vector<ThrottleEpisode> EpisodesOf(const std::vector<Rise>& rises, double end, ThrottleEpisodes& episodes) {
    ThrottleDetector detector;
    std::vector<ThrottleEpisode> ended;
    for (const Rise& rise : rises) {
        const ThrottleCount count{rise.processor, rise.counter, rise.count, rise.package, rise.core};
        if (const auto event = detector.AddThrottleCount(rise.seconds, count)) episodes.Add(*event, rise.package, rise.core);
        for (ThrottleEpisode& episode : episodes.TakeEnded(rise.seconds)) ended.push_back(std::move(episode));
    }
    for (ThrottleEpisode& episode : episodes.EndAll(end)) ended.push_back(std::move(episode));
    return ended;
}

// Every processor of `processors` shows the same counter at each of `values`, one sweep a second.
std::vector<Rise> Shared(std::vector<int> processors, ThrottleCounter counter, std::vector<std::uint64_t> values,
                         double from, int package, int core) {
    std::vector<Rise> rises;
    for (std::size_t sweep = 0; sweep < values.size(); ++sweep)
        for (const int processor : processors)
            rises.push_back({from + static_cast<double>(sweep), processor, counter, values[sweep], package,
                             core >= 0 ? core : -1});
    return rises;
}

std::vector<int> Range(int first, int count) {
    std::vector<int> numbers;
    for (int i = 0; i < count; ++i) numbers.push_back(first + i);
    return numbers;
}

}  // namespace

TEST(ThrottleEpisodesTest, CountersBecomeOneEpisodePerPackageOrCore) {
    const auto kPackage = ThrottleCounter::kPackage;
    const auto kCore = ThrottleCounter::kCore;
    struct Case {
        const char* name;
        std::vector<Rise> rises;
        std::vector<Expected> episodes;
    };
    auto concat = [](std::vector<Rise> a, const std::vector<Rise>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const Case cases[] = {
        {"a package counter on 64 processors rising at every sweep",
         Shared(Range(0, 64), kPackage, {0, 10, 20, 30, 40, 50}, 0, 0, -1),
         {{ThrottleReason::kPackageThrottleCount, 0, -1, Range(0, 64), 1, 5, 50}}},
        {"two packages", concat(Shared(Range(0, 4), kPackage, {5, 6}, 0, 0, -1), Shared(Range(4, 4), kPackage, {9, 12}, 0, 1, -1)),
         {{ThrottleReason::kPackageThrottleCount, 0, -1, Range(0, 4), 1, 1, 1},
          {ThrottleReason::kPackageThrottleCount, 1, -1, Range(4, 4), 1, 1, 3}}},
        {"a core counter shown by both threads of a core", Shared({3, 35}, kCore, {0, 7, 7, 9}, 0, 0, 3),
         {{ThrottleReason::kCoreThrottleCount, 0, 3, {3, 35}, 1, 3, 9}}},
        {"core counters without a core number stay per processor", Shared({3, 35}, kCore, {0, 7}, 0, 0, -1),
         {{ThrottleReason::kCoreThrottleCount, 0, -1, {3}, 1, 1, 7},
          {ThrottleReason::kCoreThrottleCount, 0, -1, {35}, 1, 1, 7}}},
        {"a quiet spell longer than 10 s makes two episodes",
         Shared({0, 1}, kPackage, {0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 3}, 0, 0, -1),
         {{ThrottleReason::kPackageThrottleCount, 0, -1, {0, 1}, 1, 1, 1},
          {ThrottleReason::kPackageThrottleCount, 0, -1, {0, 1}, 14, 15, 2}}},
        {"a short quiet spell stays one episode", Shared({0}, kPackage, {0, 1, 1, 1, 1, 1, 2}, 0, 0, -1),
         {{ThrottleReason::kPackageThrottleCount, 0, -1, {0}, 1, 6, 2}}},
        {"no rise, no episode", Shared(Range(0, 8), kPackage, {4, 4, 4}, 0, 0, -1), {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        ThrottleEpisodes episodes;
        std::vector<ThrottleEpisode> ended = EpisodesOf(test.rises, 100.0, episodes);
        ASSERT_EQ(ended.size(), test.episodes.size());
        EXPECT_EQ(episodes.Count(), test.episodes.size());
        EXPECT_TRUE(episodes.Open().empty());
        for (std::size_t i = 0; i < ended.size(); ++i) {
            // Episodes that start together come in no set order: match by package, core and first processor.
            const ThrottleEpisode* found = nullptr;
            for (const ThrottleEpisode& episode : ended)
                if (episode.package == test.episodes[i].package && episode.core == test.episodes[i].core &&
                    episode.processors.front() == test.episodes[i].processors.front() &&
                    episode.startSeconds == test.episodes[i].start)
                    found = &episode;
            ASSERT_NE(found, nullptr) << "episode " << i;
            EXPECT_EQ(found->reason, test.episodes[i].reason);
            EXPECT_EQ(found->processors, test.episodes[i].processors);
            EXPECT_EQ(found->endSeconds, test.episodes[i].end);
            EXPECT_EQ(found->counts, test.episodes[i].counts);
        }
    }
}

TEST(ThrottleEpisodesTest, ClockDropsEndWhenTheClockIsBackAndEachIsHandedOutOnce) {
    ThrottleEpisodes episodes;
    episodes.Add(ThrottleEvent{126, 120, 2, ThrottleReason::kClockDrop, 2.6e9, 3.0e9});
    episodes.Add(ThrottleEvent{130, 124, 5, ThrottleReason::kClockDrop, 2.0e9, 3.0e9});
    EXPECT_EQ(episodes.Count(), 2u);
    EXPECT_TRUE(episodes.TakeEnded(500).empty()) << "a low clock never ends by quiet";
    episodes.ClockBack(7, 140);  // no episode there
    episodes.ClockBack(2, 150);
    std::vector<ThrottleEpisode> ended = episodes.TakeEnded(150);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].processors, std::vector<int>{2});
    EXPECT_EQ(ended[0].startSeconds, 120);
    EXPECT_EQ(ended[0].endSeconds, 150);
    EXPECT_EQ(ended[0].lowestHertz, 2.6e9);
    EXPECT_EQ(ended[0].medianHertz, 3.0e9);
    EXPECT_TRUE(episodes.TakeEnded(151).empty()) << "handed out once";
    ended = episodes.EndAll(200);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].processors, std::vector<int>{5});
    EXPECT_EQ(ended[0].endSeconds, 200) << "still low at the run's end";
    EXPECT_TRUE(episodes.EndAll(300).empty());
    EXPECT_EQ(episodes.Count(), 2u);
}

TEST(ThrottleEpisodesTest, OnlyTheFirstEpisodesAreKeptInFull) {
    ThrottleEpisodes episodes(ThrottleEpisodes::Settings{10.0, 3});
    ThrottleDetector detector;
    std::size_t handedOut = 0;
    // A counter that rises once every 20 s for an hour: 180 episodes.
    for (int sweep = 0; sweep <= 3600; ++sweep) {
        const ThrottleCount count{0, ThrottleCounter::kPackage, static_cast<std::uint64_t>(sweep / 20), 0, -1};
        if (const auto event = detector.AddThrottleCount(sweep, count)) episodes.Add(*event, 0, -1);
        handedOut += episodes.TakeEnded(sweep).size();
    }
    handedOut += episodes.EndAll(3600).size();
    EXPECT_EQ(episodes.Count(), 180u);
    EXPECT_EQ(handedOut, 180u) << "every episode is still said once";
    ASSERT_EQ(episodes.Kept().size(), 3u);
    EXPECT_EQ(episodes.NotKept(), 177u);
    EXPECT_EQ(episodes.Kept()[0].startSeconds, 20);
    EXPECT_EQ(episodes.Kept()[2].startSeconds, 60);
}
