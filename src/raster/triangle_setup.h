#pragma once
// Triangle setup of a batch whose four lanes are all to be drawn, run by RasterizeBatch in this
// order: texture coordinates to texels, lighting, the rhw premultiply, the top-to-bottom sort.
// Each numeric step has a scalar and an SSE form with the same structure.

#include "render/vertex_batch.h"

class RenderDevice;

// Applies each stage's texture transform, then turns u, v into texel positions of the stage's
// level-0 texture (plus the stage's texel-centre offset), for every texture set in `format`.
void PrepareTexCoords(const RenderDevice& device, VertexBatch& batch, VertexFormat format);
void PrepareTexCoordsScalar(const RenderDevice& device, VertexBatch& batch, VertexFormat format);
void PrepareTexCoordsSse(const RenderDevice& device, VertexBatch& batch, VertexFormat format);

// The texture transform alone, for every present set whose stage asks for D3DTTFF_COUNT1 or 2.
void TransformTexCoords(const RenderDevice& device, VertexBatch& batch, VertexFormat format);
void TransformTexCoordsScalar(const RenderDevice& device, VertexBatch& batch, VertexFormat format);
void TransformTexCoordsSse(const RenderDevice& device, VertexBatch& batch, VertexFormat format);

// Multiplies the perspective-interpolated attributes by rhw: diffuse and texture coordinates, and
// on the SSE form the specular channels too.
void PremultiplyByRhw(const RenderDevice& device, VertexBatch& batch, VertexFormat format);
void PremultiplyByRhwScalar(VertexBatch& batch, VertexFormat format);
void PremultiplyByRhwSse(VertexBatch& batch, VertexFormat format);

// Orders each lane's corners by ascending sy (corner 0 on top); the winding may change.
void SortBatchVertices(VertexBatch& batch);
// Exchanges two corners of one lane: sx, sy, rhw, normal, diffuse and every texture set. Specular
// and the clip-space position stay where they are (nothing after setup reads them per corner).
void SwapLaneVertices(VertexBatch& batch, int slotA, int slotB, int lane);
