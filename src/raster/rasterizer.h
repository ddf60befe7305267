#pragma once
// The rasterizer's entry points: vertex processing hands every batch to ClipAndRasterizeBatch, and
// the draw entry calls FlushBatches at the end of every draw. The device's SSE-path flag chooses the
// scalar or the SSE form of each stage for the whole draw.

#include "render/vertex_batch.h"

class RenderDevice;

// Clips, projects, culls and rejects the batch's four triangles, then draws them or queues them.
void ClipAndRasterizeBatch(RenderDevice& device, VertexBatch& batch);
// Pads and draws the device's partly filled queues, so nothing waits past the end of a draw.
void FlushBatches(RenderDevice& device);
