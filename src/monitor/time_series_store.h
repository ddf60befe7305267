#pragma once
// The monitor's history: one series per sensor, bounded in memory however long the run. The
// newest samples are kept as they came; older ones are merged into buckets that keep their
// min, mean and max, and when there are too many buckets neighbours merge, doubling the span of
// each. The whole run's min, mean and max are kept apart and stay exact. One thread at a time.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/monitor_source.h"

// One plotted point: a single sample (start == end, samples == 1) or a bucket of merged samples.
struct SeriesPoint {
    double startSeconds;
    double endSeconds;  // the time of the bucket's last sample
    double min;
    double mean;
    double max;
    std::uint64_t samples;
};

// The whole run of one series; samples == 0 means no value yet (the other fields are then 0).
struct SeriesSummary {
    double min = 0.0;
    double mean = 0.0;
    double max = 0.0;
    std::uint64_t samples = 0;
};

struct SeriesInfo {
    std::string key;  // "<source>/<reading key>", e.g. "Temperature/hwmon1/temp1"
    std::string label;
    MonitorUnit unit;
};

class TimeSeriesStore {
public:
    struct Limits {
        // Samples kept as they came: the last 15 minutes at one sample per second.
        std::size_t recentSamples = 900;
        // The span of a bucket at first; it doubles each time the buckets are thinned.
        double firstBucketSeconds = 10.0;
        // A 24-hour run at one sample per second ends with 160-second buckets, 512 to 1024 of them.
        std::size_t maxBuckets = 1024;
    };
    // 0 .. SeriesCount() - 1, in the order the series were added; what FindOrAddSeries gives.
    using SeriesId = std::size_t;

    TimeSeriesStore() : TimeSeriesStore(Limits{}) {}
    explicit TimeSeriesStore(Limits limits);

    SeriesId FindOrAddSeries(std::string_view key, std::string_view label, MonitorUnit unit);
    std::optional<SeriesId> FindSeries(std::string_view key) const;
    std::size_t SeriesCount() const { return m_series.size(); }
    const SeriesInfo& Info(SeriesId id) const { return m_series[id].info; }

    // Times are seconds since any origin, never decreasing within a series. False, and nothing
    // kept, for a value that is not finite or a time before the series' previous sample.
    bool Append(SeriesId id, double seconds, double value);
    // Each reading goes to the series "<source>/<key>", added when it first appears.
    void AppendReadings(double seconds, const std::vector<SensorReading>& readings);

    SeriesSummary Summary(SeriesId id) const;
    // Oldest first: the buckets, then the recent samples.
    std::vector<SeriesPoint> Points(SeriesId id) const;
    // Buckets and samples held for the series: what bounds its memory.
    std::size_t StoredPoints(SeriesId id) const;
    // Roughly the heap the points of every series take (not the names).
    std::size_t MemoryBytes() const;
    // The span of the series' buckets now.
    double BucketSeconds(SeriesId id) const { return m_series[id].bucketSeconds; }

private:
    struct Sample {
        double seconds;
        double value;
    };
    struct Bucket {
        std::int64_t slot;  // (start - origin) / bucketSeconds, rounded down
        double startSeconds;
        double endSeconds;
        double min;
        double max;
        double sum;
        std::uint64_t samples;
    };
    struct Series {
        SeriesInfo info;
        std::deque<Sample> recent;
        std::vector<Bucket> buckets;
        double bucketSeconds;
        double originSeconds = 0.0;  // the first sample's time; bucket slots count from it
        double min = 0.0;
        double max = 0.0;
        double sum = 0.0;
        std::uint64_t samples = 0;
    };
    void MoveIntoBuckets(Series& series, const Sample& sample) const;
    void ThinBuckets(Series& series) const;

    Limits m_limits;
    std::vector<Series> m_series;
    std::map<std::string, SeriesId, std::less<>> m_idsByKey;
};
