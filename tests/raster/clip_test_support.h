#pragma once
// Shared pieces of the clipper and triangle-setup tests: a device holding just the state these
// stages read, batches built corner by corner, and the draw's rounding mode for direct calls.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "draw_rounding.h"
#include "raster/clip.h"
#include "raster/rasterizer.h"
#include "render/render_device.h"

namespace cliptest {

constexpr std::uint32_t kSseOn = 0xFFFFFFFFu;

// A device with a 100 x 80 viewport at (10, 20) on a 128 x 128 target of its own, depth 0..1, no
// culling, position and diffuse. The draw preparation has run, so whatever reaches the scan
// converter draws into this target and no other.
class ClipDevice {
public:
    explicit ClipDevice(bool sse) : pixels_(kTargetSide * kTargetSide), device_(std::make_unique<RenderDevice>()) {
        RenderDevice& d = *device_;
        d.SetRenderTarget(pixels_.data(), kTargetSide, kTargetSide, A8R8G8B8, kTargetSide * 4);
        d.ClearDepth(1.0f);
        d.SetViewport(10, 20, 100, 80, 0.0f, 1.0f);
        d.SetRenderState(RS_PROCESSORPATH, sse ? 2 : 0);
        d.SetRenderState(RS_LIGHTING, 0);
        d.SetVertexFormat(VF_XYZ | VF_DIFFUSE);
        d.PrepareViewport();
        d.CompileRasterState();
        d.renderStates[RS_CULLMODE] = CULL_NONE;
        d.ssePath = sse ? kSseOn : 0;
        d.clipCount = 0;
        d.drawCount = 0;
    }
    RenderDevice& operator*() const { return *device_; }
    RenderDevice* operator->() const { return device_.get(); }

private:
    static constexpr int kTargetSide = 128;
    std::vector<Color32> pixels_;
    std::unique_ptr<RenderDevice> device_;
};

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
