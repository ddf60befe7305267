#pragma once
// Helpers shared by the vertex processing, lighting and draw entry tests.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "render/render_device.h"
#include "render/rounding_mode.h"

// Puts a rounding mode in force for a test that calls a stage directly, and restores the caller's.
class ScopedRoundingMode {
public:
    explicit ScopedRoundingMode(RoundingMode mode) { SetRoundingMode(mode); }

private:
    MxcsrGuard saved_;
};

inline RoundingMode PathRounding(bool sse) { return sse ? RoundingMode::Down : RoundingMode::Nearest; }

inline std::unique_ptr<RenderDevice> MakeDevice() { return std::make_unique<RenderDevice>(); }

// Fills every float of a batch with one recognisable value.
inline void FillBatch(VertexBatch& batch, float value) {
    float* f = &batch.corner[0].x.lane[0];
    for (std::size_t i = 0; i < sizeof(VertexBatch) / sizeof(float); ++i) f[i] = value;
}

inline std::uint32_t Bits(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// Distance in units in the last place between two finite floats of the same sign (or zeros).
inline std::int64_t UlpDistance(float a, float b) {
    auto ordered = [](float f) {
        const std::int64_t bits = static_cast<std::int32_t>(Bits(f));
        return bits < 0 ? -(bits & 0x7FFFFFFF) : bits;
    };
    const std::int64_t d = ordered(a) - ordered(b);
    return d < 0 ? -d : d;
}

// What a test consumer saw of each batch that vertex processing handed over.
struct SeenBatch {
    VertexBatch batch;
    Color32 flatColors[kBatchLanes];
    RoundingMode mode;
    bool ssePath;
};

inline std::vector<SeenBatch>& SeenBatches() {
    static std::vector<SeenBatch> seen;
    return seen;
}

inline void RecordBatch(RenderDevice& device, VertexBatch& batch) {
    SeenBatch s;
    s.batch = batch;
    std::memcpy(s.flatColors, device.flatColors, sizeof s.flatColors);
    s.mode = GetRoundingMode();
    s.ssePath = device.ssePath != 0;
    SeenBatches().push_back(s);
}

// A device whose batches go to RecordBatch instead of the rasterizer.
inline std::unique_ptr<RenderDevice> MakeRecordingDevice() {
    SeenBatches().clear();
    auto device = MakeDevice();
    device->batchConsumer = RecordBatch;
    return device;
}
