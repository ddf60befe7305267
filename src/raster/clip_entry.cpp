// The rasterizer's entry for each batch that vertex processing hands over.
#include "raster/clip.h"
#include "raster/rasterizer.h"
#include "render/render_device.h"

void ClipBatch(RenderDevice& device, VertexBatch& batch, ClipResult& result) {
    if (device.ssePath) ClipBatchSse(device, batch, result);
    else ClipBatchScalar(device, batch, result);
}

void ClipAndRasterizeBatch(RenderDevice& device, VertexBatch& batch) {
    ClipResult result{};
    ClipBatch(device, batch, result);
    // The common case, all four lanes kept, goes to setup without copying.
    if (result.keepMask == kAllLanes) {
        RasterizeBatch(device, batch);
        return;
    }
    for (int lane = 0; lane < kBatchLanes; ++lane)
        if (result.keepMask & (1u << lane)) QueueDrawLane(device, batch, lane);
}
