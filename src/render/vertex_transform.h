#pragma once
// Position transform and vertex blending of a batch's three corners, in a scalar and an SSE form
// that compute the same formulas in the same order: the scalar form forms each sum in extended
// precision and rounds it once, the SSE form rounds every step.
//
// Vertex blending follows Direct3D 8. D3DRS_VERTEXBLEND n = 1, 2 or 3 takes n weights w1..wn from
// the vertex and n + 1 composite matrices C0..Cn, where Ci = Worldi x View x Projection x
// ViewportMatrix (every composite includes the viewport matrix, so all are in the same screen-scaled
// space). Matrix Ci (i < n) weighs w(i+1); the last matrix Cn weighs 1 - w1 - ... - wn. The blended
// X, Y, Z, W is the weighted sum of the position transformed by each Ci, W included: the composites
// are linear, so this equals blending in world space and projecting once. The transformed positions
// by C1..Cn stay in the corner's blend groups 0..n-1. Any other value (255 means tweening) blends
// nothing.

#include "render/vertex_batch.h"

class RenderDevice;

// Weights used by the device's D3DRS_VERTEXBLEND: 1-3, or 0 when there is no blending.
int BlendWeightCount(const RenderDevice& device);

// X, Y, Z, W of every corner and lane from x, y, z, then the blending above. The scalar form reads
// the composite matrices, the SSE form their four-lane copies.
void TransformBatchScalar(const RenderDevice& device, VertexBatch& batch);
void TransformBatchSse(const RenderDevice& device, VertexBatch& batch);
