// The device's two queues. Lanes that survive on their own and triangles made by clipping are
// gathered into full batches, because setup and scan conversion always work on four lanes; both
// queues are drained at the end of every draw, so every triangle is drawn with its own draw's state.
#include <bit>
#include <initializer_list>

#include "raster/clip.h"
#include "raster/rasterizer.h"
#include "raster/vertex_attributes.h"
#include "render/render_device.h"

namespace {

// The counts are public fields; only their low two bits ever pick a lane.
int QueueLane(std::int32_t count) { return count & 3; }

void CopyFormatAttributes(VertexView from, VertexView to, VertexFormat format) {
    float* source[kMaxFormatAttributes];
    float* target[kMaxFormatAttributes];
    const int count = FormatAttributes(from, format, source);
    FormatAttributes(to, format, target);
    for (int k = 0; k < count; ++k) *target[k] = *source[k];
}

// Processes a full clip batch: its triangles are already clipped, so only the divide and the
// culling are left (no plane test, no viewport rejection).
void ProcessClipBatch(RenderDevice& device) {
    VertexBatch& batch = device.clipBatch;
    ClipResult result{};
    result.keepMask = kAllLanes;
    ProjectBatch(device, batch);
    KeepFiniteLanes(device, batch, result);
    CullBatch(device, batch, result);
    if (result.keepMask == kAllLanes) {
        RasterizeBatch(device, batch);
        return;
    }
    for (int lane = 0; lane < kBatchLanes; ++lane)
        if (result.keepMask & (1u << lane)) QueueDrawLane(device, batch, lane);
}

bool IsQueueBatch(const RenderDevice& device, const VertexBatch& batch) {
    return &batch == &device.drawBatch || &batch == &device.clipBatch;
}

void SetLaneFlatColor(VertexBatch& batch, int lane, Color32 color) {
    batch.corner[0].spare.lane[lane & 3] = std::bit_cast<float>(color);
}

}  // namespace

Color32 LaneFlatColor(const RenderDevice& device, const VertexBatch& batch, int lane) {
    if (IsQueueBatch(device, batch)) return std::bit_cast<Color32>(batch.corner[0].spare.lane[lane & 3]);
    return device.flatColors[lane & 3];
}

void QueueClipTriangle(RenderDevice& device, VertexView v0, VertexView v1, VertexView v2, Color32 flatColor) {
    const int lane = QueueLane(device.clipCount);
    const VertexFormat format = device.vertexFormat;
    const VertexView from[3] = {v0, v1, v2};
    for (int corner = 0; corner < 3; ++corner) {
        const VertexView to = ViewOf(device.clipBatch, corner, lane);
        for (Lanes VertexSlot::*group : {&VertexSlot::X, &VertexSlot::Y, &VertexSlot::Z, &VertexSlot::W})
            to(group) = from[corner](group);
        CopyFormatAttributes(from[corner], to, format);
    }
    SetLaneFlatColor(device.clipBatch, lane, flatColor);
    device.clipCount = (lane + 1) % 4;
    if (lane == 3) ProcessClipBatch(device);
}

void QueueDrawLane(RenderDevice& device, VertexBatch& batch, int lane) {
    const int target = QueueLane(device.drawCount);
    const VertexFormat format = device.vertexFormat;
    for (int corner = 0; corner < 3; ++corner) {
        const VertexView from = ViewOf(batch, corner, lane & 3);
        const VertexView to = ViewOf(device.drawBatch, corner, target);
        // The projected position travels whatever the format says: it is what was culled and
        // rejected, and the lane it lands in may hold another triangle's.
        for (Lanes VertexSlot::*group : {&VertexSlot::sx, &VertexSlot::sy, &VertexSlot::rhw}) to(group) = from(group);
        CopyFormatAttributes(from, to, format);
    }
    SetLaneFlatColor(device.drawBatch, target, LaneFlatColor(device, batch, lane));
    device.drawCount = (target + 1) % 4;
    if (target == 3) RasterizeBatch(device, device.drawBatch);
}

void FlushBatches(RenderDevice& device) {
    // Padding triangles are degenerate: all corners at one point, so they cover no pixel.
    for (;;) {
        if (QueueLane(device.drawCount) != 0) {
            alignas(16) VertexBatch padding{};
            for (VertexSlot& slot : padding.corner)
                for (int lane = 0; lane < kBatchLanes; ++lane) slot.rhw.lane[lane] = 1.0f;
            while (QueueLane(device.drawCount) != 0) QueueDrawLane(device, padding, 0);
        }
        if (QueueLane(device.clipCount) != 0) {
            alignas(16) VertexBatch padding{};
            for (VertexSlot& slot : padding.corner) {
                slot.Z.lane[0] = 1.0f;
                slot.W.lane[0] = 1.0f;
            }
            const VertexView corner[3] = {ViewOf(padding, 0, 0), ViewOf(padding, 1, 0), ViewOf(padding, 2, 0)};
            while (QueueLane(device.clipCount) != 0) QueueClipTriangle(device, corner[0], corner[1], corner[2], 0);
        }
        // Processing the clip batch may have queued lanes for drawing again.
        if (QueueLane(device.drawCount) == 0) break;
    }
    device.drawCount = 0;
    device.clipCount = 0;
}
