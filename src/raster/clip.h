#pragma once
// The clipper's stages between vertex processing and triangle setup: the near and far plane test
// and geometric clip, the perspective divide, back-face culling, viewport rejection, and the two
// device queues that gather single survivors and clipped triangles into full batches.
//
// Each numeric stage has a scalar form and an SSE form with the same structure; the device's
// ssePath flag chooses one for the whole draw.

#include <cstdint>

#include "image/pixel_format.h"
#include "render/vertex_batch.h"

class RenderDevice;

// Per-lane outcome of ClipBatch; every mask is 4 bits, one per lane, and the codes hold three bits
// per lane (bits 4i..4i+2, bit k for corner k outside the plane).
struct ClipResult {
    std::uint32_t keepMask;
    std::uint32_t clipMask;
    std::uint32_t nearCodes;
    std::uint32_t farCodes;
};

// One vertex: one lane of one slot. Clipping assembles triangles from vertices of different
// batches or of a scratch slot, so a vertex is addressed rather than copied.
struct VertexView {
    VertexSlot* slot;
    int lane;

    float& operator()(Lanes VertexSlot::*group) const { return (slot->*group).lane[lane]; }
    float& Diffuse(int channel) const { return slot->diffuse[channel].lane[lane]; }
    float& Specular(int channel) const { return slot->specular[channel].lane[lane]; }
    float& Tex(int set, int coordinate) const { return slot->tex[set][coordinate].lane[lane]; }
};

inline VertexView ViewOf(VertexBatch& batch, int corner, int lane) { return VertexView{&batch.corner[corner], lane}; }

// The mask of all four lanes: a keepMask with nothing dropped.
constexpr std::uint32_t kAllLanes = 0xF;

// Clips the crossing lanes in place (queueing the extra triangles), projects, culls and rejects
// the batch against the viewport. Stops early, with the result as last set, when no lane is left.
void ClipBatch(RenderDevice& device, VertexBatch& batch, ClipResult& result);
void ClipBatchScalar(RenderDevice& device, VertexBatch& batch, ClipResult& result);
void ClipBatchSse(RenderDevice& device, VertexBatch& batch, ClipResult& result);

// Clips one lane against the near plane when its near code is set, else against the far bound.
void ClipTriangleLane(RenderDevice& device, VertexBatch& batch, int lane, std::uint32_t nearCode,
                      std::uint32_t farCode);
// Writes to `out` the point where edge O-I meets Z = plane; `out` may be `outside` itself.
void ClipEdge(VertexView outside, VertexView inside, float plane, VertexView out, VertexFormat format);
// Moves both outside vertices onto Z = plane along their edges to the inside vertex.
void ClipTwoVertices(VertexView outside1, VertexView outside2, VertexView inside, float plane,
                     VertexFormat format);

// The device queues. A queued triangle keeps the flat colour of the lane it came from.
void QueueClipTriangle(RenderDevice& device, VertexView v0, VertexView v1, VertexView v2, Color32 flatColor);
void QueueDrawLane(RenderDevice& device, VertexBatch& batch, int lane);

// The flat colour of a lane: the device's for a batch from vertex processing; for the device's
// own queue batches, the one stored with the lane when it was queued (in corner 0's spare group).
Color32 LaneFlatColor(const RenderDevice& device, const VertexBatch& batch, int lane);

// rhw = 1 / W, sx = X rhw, sy = Y rhw for all twelve vertices.
void ProjectBatch(const RenderDevice& device, VertexBatch& batch);
void ProjectBatchScalar(VertexBatch& batch);
void ProjectBatchSse(VertexBatch& batch);

// Clears the keepMask bits of lanes with a corner whose sx, sy or rhw is not finite (W = 0, a
// non-finite position): such a triangle has no place on the screen and nothing downstream has
// to cope with it.
void KeepFiniteLanes(const RenderDevice& device, const VertexBatch& batch, ClipResult& result);
void KeepFiniteLanesScalar(const VertexBatch& batch, ClipResult& result);
void KeepFiniteLanesSse(const VertexBatch& batch, ClipResult& result);

// Clears the keepMask bits of back-facing lanes by D3DRS_CULLMODE.
void CullBatch(const RenderDevice& device, const VertexBatch& batch, ClipResult& result);
void CullBatchScalar(std::uint32_t cullMode, const VertexBatch& batch, ClipResult& result);
void CullBatchSse(std::uint32_t cullMode, const VertexBatch& batch, ClipResult& result);

// Triangle setup followed by scan conversion, for all four lanes.
void RasterizeBatch(RenderDevice& device, VertexBatch& batch);
