// Bounded series: recent samples as they came, older ones in buckets that thin by doubling.

#include "monitor/time_series_store.h"

#include <algorithm>
#include <cmath>

TimeSeriesStore::TimeSeriesStore(Limits limits) : m_limits(limits) {
    // Thinning halves the buckets, so fewer than two could never shrink.
    m_limits.maxBuckets = std::max<std::size_t>(m_limits.maxBuckets, 2);
    if (!(m_limits.firstBucketSeconds > 0.0) || !std::isfinite(m_limits.firstBucketSeconds)) {
        m_limits.firstBucketSeconds = Limits{}.firstBucketSeconds;
    }
}

TimeSeriesStore::SeriesId TimeSeriesStore::FindOrAddSeries(std::string_view key, std::string_view label,
                                                          MonitorUnit unit) {
    if (const auto found = m_idsByKey.find(key); found != m_idsByKey.end()) return found->second;
    const SeriesId id = m_series.size();
    m_series.push_back({SeriesInfo{std::string(key), std::string(label), unit}, {}, {}, m_limits.firstBucketSeconds});
    m_idsByKey.emplace(std::string(key), id);
    return id;
}

std::optional<TimeSeriesStore::SeriesId> TimeSeriesStore::FindSeries(std::string_view key) const {
    const auto found = m_idsByKey.find(key);
    return found == m_idsByKey.end() ? std::nullopt : std::optional<SeriesId>(found->second);
}

bool TimeSeriesStore::Append(SeriesId id, double seconds, double value) {
    Series& series = m_series[id];
    if (!std::isfinite(value) || !std::isfinite(seconds)) return false;
    if (series.samples > 0) {
        const double last = series.recent.empty() ? series.buckets.back().endSeconds : series.recent.back().seconds;
        if (seconds < last) return false;
        series.min = std::min(series.min, value);
        series.max = std::max(series.max, value);
    } else {
        series.originSeconds = seconds;
        series.min = series.max = value;
    }
    series.sum += value;
    ++series.samples;
    series.recent.push_back({seconds, value});
    if (series.recent.size() > m_limits.recentSamples) {
        MoveIntoBuckets(series, series.recent.front());
        series.recent.pop_front();
    }
    return true;
}

void TimeSeriesStore::AppendReadings(double seconds, const std::vector<SensorReading>& readings) {
    std::string key;
    for (const SensorReading& reading : readings) {
        key.assign(reading.source).append("/").append(reading.key);
        Append(FindOrAddSeries(key, reading.label, reading.unit), seconds, reading.value);
    }
}

void TimeSeriesStore::MoveIntoBuckets(Series& series, const Sample& sample) const {
    const double sinceOrigin = sample.seconds - series.originSeconds;
    const auto slot = static_cast<std::int64_t>(std::floor(sinceOrigin / series.bucketSeconds));
    if (!series.buckets.empty() && series.buckets.back().slot == slot) {
        Bucket& bucket = series.buckets.back();
        bucket.endSeconds = sample.seconds;
        bucket.min = std::min(bucket.min, sample.value);
        bucket.max = std::max(bucket.max, sample.value);
        bucket.sum += sample.value;
        ++bucket.samples;
        return;
    }
    // One more than the most kept, once: growing by doubling would hold twice what is used.
    if (series.buckets.capacity() == 0) series.buckets.reserve(m_limits.maxBuckets + 1);
    series.buckets.push_back({slot, sample.seconds, sample.seconds, sample.value, sample.value, sample.value, 1});
    if (series.buckets.size() > m_limits.maxBuckets) ThinBuckets(series);
}

void TimeSeriesStore::ThinBuckets(Series& series) const {
    // Sparse series (gaps in the samples) may need more than one doubling before slots meet.
    while (series.buckets.size() > m_limits.maxBuckets) {
        series.bucketSeconds *= 2.0;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < series.buckets.size(); ++i) {
            Bucket bucket = series.buckets[i];
            bucket.slot /= 2;  // slots are never negative: samples come no earlier than the origin
            if (kept > 0 && series.buckets[kept - 1].slot == bucket.slot) {
                Bucket& merged = series.buckets[kept - 1];
                merged.endSeconds = bucket.endSeconds;
                merged.min = std::min(merged.min, bucket.min);
                merged.max = std::max(merged.max, bucket.max);
                merged.sum += bucket.sum;
                merged.samples += bucket.samples;
            } else {
                series.buckets[kept++] = bucket;
            }
        }
        series.buckets.resize(kept);
    }
}

SeriesSummary TimeSeriesStore::Summary(SeriesId id) const {
    const Series& series = m_series[id];
    if (series.samples == 0) return {};
    return {series.min, series.sum / static_cast<double>(series.samples), series.max, series.samples};
}

std::vector<SeriesPoint> TimeSeriesStore::Points(SeriesId id) const {
    const Series& series = m_series[id];
    std::vector<SeriesPoint> points;
    points.reserve(series.buckets.size() + series.recent.size());
    for (const Bucket& bucket : series.buckets) {
        const double mean = bucket.sum / static_cast<double>(bucket.samples);
        points.push_back({bucket.startSeconds, bucket.endSeconds, bucket.min, mean, bucket.max, bucket.samples});
    }
    for (const Sample& sample : series.recent) {
        points.push_back({sample.seconds, sample.seconds, sample.value, sample.value, sample.value, 1});
    }
    return points;
}

std::size_t TimeSeriesStore::MemoryBytes() const {
    std::size_t bytes = m_series.capacity() * sizeof(Series);
    for (const Series& series : m_series) {
        bytes += series.recent.size() * sizeof(Sample) + series.buckets.capacity() * sizeof(Bucket);
    }
    return bytes;
}

std::size_t TimeSeriesStore::StoredPoints(SeriesId id) const {
    return m_series[id].buckets.size() + m_series[id].recent.size();
}
