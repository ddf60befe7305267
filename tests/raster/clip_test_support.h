#pragma once
// Shared pieces of the clipper and triangle-setup tests: a device holding just the state these
// stages read, batches built corner by corner, and the draw's rounding mode for direct calls.

#include <xmmintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "raster/clip.h"
#include "raster/rasterizer.h"
#include "render/render_device.h"

namespace cliptest {

constexpr std::uint32_t kSseOn = 0xFFFFFFFFu;

// A draw runs the SSE path rounding toward negative infinity and the scalar path to nearest; a
// test that calls a stage directly sets the same mode and puts the caller's back.
class DrawRounding {
public:
    explicit DrawRounding(bool sse) : saved_(_mm_getcsr()) {
        _mm_setcsr((saved_ & ~0x6000u) | (sse ? 0x2000u : 0u));
    }
    ~DrawRounding() { _mm_setcsr(saved_); }
    DrawRounding(const DrawRounding&) = delete;
    DrawRounding& operator=(const DrawRounding&) = delete;

private:
    unsigned saved_;
};

// A device with a 100 x 80 viewport at (10, 20), depth 0..1, no culling, position and diffuse.
inline std::unique_ptr<RenderDevice> MakeDevice(bool sse) {
    auto device = std::make_unique<RenderDevice>();
    Viewport& v = device->viewport;
    v.left = 10;
    v.top = 20;
    v.right = 110;
    v.bottom = 100;
    v.width = 100;
    v.height = 80;
    v.minZ = 0;
    v.maxZ = 1;
    v.farBound = kFarBound;
    device->renderStates[RS_CULLMODE] = CULL_NONE;
    device->vertexFormat = VF_XYZ | VF_DIFFUSE;
    device->ssePath = sse ? kSseOn : 0;
    device->clipCount = 0;
    device->drawCount = 0;
    return device;
}

struct Corner {
    float x, y, z, w;
};

// Sets one lane's three corners in clip space (X, Y already scaled to pixels times W).
inline void SetLane(VertexBatch& batch, int lane, Corner c0, Corner c1, Corner c2) {
    const Corner corners[3] = {c0, c1, c2};
    for (int k = 0; k < 3; ++k) {
        VertexSlot& slot = batch.corner[k];
        slot.X.lane[lane] = corners[k].x;
        slot.Y.lane[lane] = corners[k].y;
        slot.Z.lane[lane] = corners[k].z;
        slot.W.lane[lane] = corners[k].w;
    }
}

// A screen triangle at depth z with W = 1 (so sx = X, sy = Y).
inline void SetScreenLane(VertexBatch& batch, int lane, float x0, float y0, float x1, float y1, float x2, float y2,
                          float z = 0.5f) {
    SetLane(batch, lane, {x0, y0, z, 1}, {x1, y1, z, 1}, {x2, y2, z, 1});
}

// Every lane the same small triangle inside the viewport, clockwise on the screen.
inline void FillVisible(VertexBatch& batch) {
    for (int lane = 0; lane < kBatchLanes; ++lane) SetScreenLane(batch, lane, 30, 30, 60, 40, 40, 70);
}

// Screen-space area with y down (negative = clockwise), from the projected corners of a lane.
inline float ScreenArea(const VertexBatch& batch, int lane) {
    const auto sx = [&](int k) { return batch.corner[k].sx.lane[lane]; };
    const auto sy = [&](int k) { return batch.corner[k].sy.lane[lane]; };
    return (sy(2) - sy(1)) * (sx(0) - sx(1)) - (sy(0) - sy(1)) * (sx(2) - sx(1));
}

// The same from clip-space X, Y, W.
inline float ClipSpaceArea(const VertexBatch& batch, int lane) {
    const auto sx = [&](int k) { return batch.corner[k].X.lane[lane] / batch.corner[k].W.lane[lane]; };
    const auto sy = [&](int k) { return batch.corner[k].Y.lane[lane] / batch.corner[k].W.lane[lane]; };
    return (sy(2) - sy(1)) * (sx(0) - sx(1)) - (sy(0) - sy(1)) * (sx(2) - sx(1));
}

inline const char* PathName(bool sse) { return sse ? "Sse" : "Scalar"; }

}  // namespace cliptest
