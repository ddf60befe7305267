#pragma once
// Helpers shared by the scan conversion and span stage tests: the draw's rounding mode, a small
// A8R8G8B8 target with its depth buffer bound in the span context the way a draw leaves it, batches
// built lane by lane, and pictures of the target as rows of characters.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "raster/color_ops.h"
#include "raster/pixel_writers.h"
#include "raster/scan_convert.h"
#include "raster/span_stages.h"
#include "raster/span_context.h"
#include "draw_rounding.h"
#include "render/render_device.h"

inline std::uint32_t FloatBits(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

constexpr Color32 kBackground = 0x00000000;
constexpr float kFarDepth = 1e38f;

// The per-draw values of a plain draw: depth test and trim on, flat shading, stage 0 selecting the
// vertex colour, no fog, no blending, the A8R8G8B8 writer, compiled for `device`. Every array and
// interpolant is cleared.
inline void ResetSpanContext(bool ssePath, const RenderDevice* device = nullptr) {
    SpanContext& c = g_spanContext;
    std::memset(static_cast<void*>(&c), 0, sizeof c);
    for (Color32& v : c.constantArray) v = 0xFFFFFFFF;
    c.ssePath = ssePath ? 0xFFFFFFFFu : 0u;
    c.zEnable = 1;
    c.zWriteEnable = 1;
    c.depthTrimEnable = 1;
    c.shadeMode = SHADE_FLAT;
    c.colorVertex = 1;
    for (float& f : c.fogScale) f = 0.0f;  // the far bound's reciprocal, as every draw prepares it
    c.vertexFormat = VF_XYZ;
    c.stageOp[0] = ColorOpRoutine(TOP_SELECTARG1, ssePath);
    c.stageArg1Base[0] = c.diffuseArray;
    c.stageArg2Base[0] = c.diffuseArray;
    c.pixelWriter = PixelWriterRoutine(A8R8G8B8, ssePath, &c.colorBytesPerPixel);
    c.depthBytesPerPixel = 4;
    c.compiledFor = device;
}

// A render target and depth buffer of exactly width x height pixels (so the sanitizer sees any
// access past them), bound in g_spanContext with the whole target as clip rectangle.
class SpanTarget {
public:
    SpanTarget(int width, int height, Color32 fill = kBackground, float depth = kFarDepth)
        : width_(width), height_(height), color_(static_cast<std::size_t>(width) * height, fill),
          depth_(static_cast<std::size_t>(width) * height, depth) {
        SpanContext& c = g_spanContext;
        c.target = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), A8R8G8B8, width * 4,
                    reinterpret_cast<std::uint8_t*>(color_.data())};
        c.depth = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), ZBUFFER32, width * 4,
                   reinterpret_cast<std::uint8_t*>(depth_.data())};
        c.colorPitch = width * 4;
        c.depthPitch = width * 4;
        c.clipLeft = 0;
        c.clipTop = 0;
        c.clipRight = width;
        c.clipBottom = height;
    }

    Color32 Pixel(int x, int y) const { return color_[static_cast<std::size_t>(y) * width_ + x]; }
    float Depth(int x, int y) const { return depth_[static_cast<std::size_t>(y) * width_ + x]; }
    void SetDepth(int x, int y, float w) { depth_[static_cast<std::size_t>(y) * width_ + x] = w; }
    std::vector<Color32>& Colors() { return color_; }
    std::vector<float>& Depths() { return depth_; }

    // One string per row: '.' for the background, '#' for any other colour.
    std::vector<std::string> Coverage() const {
        std::vector<std::string> rows;
        for (int y = 0; y < height_; ++y) {
            std::string row;
            for (int x = 0; x < width_; ++x) row += Pixel(x, y) == kBackground ? '.' : '#';
            rows.push_back(row);
        }
        return rows;
    }

    // Points the span context at row y, span [xs, xe), as the scan converter does.
    void SetSpan(int y, int xs, int xe) {
        SpanContext& c = g_spanContext;
        c.spanStart = xs;
        c.spanEnd = xe;
        c.scanY = y;
        c.colorRow = c.target.bits + static_cast<std::ptrdiff_t>(y) * c.colorPitch;
        c.depthRow = c.depth.bits + static_cast<std::ptrdiff_t>(y) * c.depthPitch;
    }

private:
    int width_;
    int height_;
    std::vector<Color32> color_;
    std::vector<float> depth_;
};

struct ScreenVertex {
    float sx, sy, rhw;
};

// Writes one lane's three corners (top to bottom) with one diffuse colour x rhw on each corner.
inline void SetLane(VertexBatch& batch, int lane, const ScreenVertex (&v)[3], const float (&argb)[4] = {255, 255, 255, 255}) {
    for (int k = 0; k < 3; ++k) {
        VertexSlot& slot = batch.corner[k];
        slot.sx.lane[lane] = v[k].sx;
        slot.sy.lane[lane] = v[k].sy;
        slot.rhw.lane[lane] = v[k].rhw;
        for (int ch = 0; ch < 4; ++ch) slot.diffuse[ch].lane[lane] = argb[ch] * v[k].rhw;
    }
}

// A batch whose lanes are all zero-area triangles at the origin (they draw nothing).
inline VertexBatch EmptyBatch() {
    VertexBatch batch;
    std::memset(static_cast<void*>(&batch), 0, sizeof batch);
    for (VertexSlot& slot : batch.corner)
        for (float& r : slot.rhw.lane) r = 1.0f;
    return batch;
}

// A device on the given path with solid fill, no overlay and lane colours 0xFF000001 + lane.
inline std::unique_ptr<RenderDevice> MakeScanDevice(bool ssePath) {
    auto device = std::make_unique<RenderDevice>();
    device->ssePath = ssePath ? 0xFFFFFFFFu : 0u;
    device->renderStates[RS_FILLMODE] = FILL_SOLID;
    device->renderStates[RS_EDGEOVERLAY] = 0;
    for (int lane = 0; lane < kBatchLanes; ++lane) device->flatColors[lane] = 0xFF000001u + lane;
    return device;
}
