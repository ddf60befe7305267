#pragma once
// The clock each loaded processor really runs at, as the load workers measure it on their own
// threads (MeasureCoreClockHz in load/core_clock.h) and hand it over here at every check. The
// hand-over is wait-free, so a worker never waits for the monitor.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "monitor/monitor_source.h"

class EffectiveClockSource final : public MonitorSource {
public:
    // Room for processors 0 .. processorCount - 1; others are ignored.
    explicit EffectiveClockSource(int processorCount);

    // Any thread, typically the worker pinned to processor: its latest measurement. A value that
    // is not a positive finite number (the probe gives 0 when it cannot measure) withdraws it.
    void Publish(int processor, double hertz);
    // The processor is no longer loaded: its clock is absent until the next Publish.
    void Withdraw(int processor);

    std::string_view Name() const override { return "Effective clock"; }
    MonitorUnit Unit() const override { return MonitorUnit::kHertz; }
    // True while some processor has a value.
    bool IsAvailable() const override;
    // The latest value of every processor that has one; keys "cpu3", processor set.
    std::vector<SensorReading> Read() override;
    // Only the processors that published since the previous ReadNew: one reading per
    // measurement, for the time series and the throttling detector. One reading thread only.
    std::vector<SensorReading> ReadNew();

private:
    struct alignas(64) Slot {  // one cache line each, so workers do not share lines
        std::atomic<double> hertz{0.0};
        std::atomic<std::uint64_t> publications{0};
    };
    std::vector<SensorReading> Collect(bool onlyNew);

    int m_processorCount;
    std::unique_ptr<Slot[]> m_slots;
    std::vector<std::uint64_t> m_publicationsSeen;  // ReadNew's, per processor
};
