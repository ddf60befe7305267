#pragma once
// Scan conversion of a set-up batch: the gradient setup of each lane, the walk of its scan lines,
// and one DrawSpan per line; then the edge overlay when asked.

#include "render/vertex_batch.h"

class RenderDevice;

// The batch's lanes are sorted top to bottom and carry sx, sy, rhw and premultiplied attributes.
void ScanConvertBatch(RenderDevice& device, VertexBatch& batch);
// White lines along every lane's edges, kept inside the clip rectangle like the spans.
void EdgeOverlay(RenderDevice& device, const VertexBatch& batch);
