// CullBatch: removes back faces by the sign of the screen area. With y pointing down, a triangle
// that runs clockwise on the screen has a negative area. The two forms differ on a zero area: the
// scalar form reads the sign bit (and keeps nothing of zero area under D3DCULL_CW), the SSE form
// compares with zero (and keeps zero areas under both modes).
#include <immintrin.h>

#include <bit>
#include <cstdint>

#include "raster/clip.h"
#include "render/render_device.h"

namespace {

float LaneArea(const VertexBatch& batch, int lane) {
    const VertexSlot& v0 = batch.corner[0];
    const VertexSlot& v1 = batch.corner[1];
    const VertexSlot& v2 = batch.corner[2];
    return (v2.sy.lane[lane] - v1.sy.lane[lane]) * (v0.sx.lane[lane] - v1.sx.lane[lane]) -
           (v0.sy.lane[lane] - v1.sy.lane[lane]) * (v2.sx.lane[lane] - v1.sx.lane[lane]);
}

__m128 Load(const Lanes& group) { return _mm_load_ps(group.lane); }

}  // namespace

void CullBatchScalar(std::uint32_t cullMode, const VertexBatch& batch, ClipResult& result) {
    if (cullMode == CULL_NONE) return;
    // Any mode other than the two named ones keeps every lane on this path.
    if (cullMode != CULL_CCW && cullMode != CULL_CW) return;
    for (int lane = 0; lane < kBatchLanes; ++lane) {
        const auto bits = std::bit_cast<std::int32_t>(LaneArea(batch, lane));
        const bool keep = cullMode == CULL_CCW ? bits < 0 : bits > 0;
        if (!keep) result.keepMask &= ~(1u << lane);
    }
}

void CullBatchSse(std::uint32_t cullMode, const VertexBatch& batch, ClipResult& result) {
    if (cullMode == CULL_NONE) return;
    const VertexSlot& v0 = batch.corner[0];
    const VertexSlot& v1 = batch.corner[1];
    const VertexSlot& v2 = batch.corner[2];
    const __m128 area = _mm_sub_ps(
        _mm_mul_ps(_mm_sub_ps(Load(v2.sy), Load(v1.sy)), _mm_sub_ps(Load(v0.sx), Load(v1.sx))),
        _mm_mul_ps(_mm_sub_ps(Load(v0.sy), Load(v1.sy)), _mm_sub_ps(Load(v2.sx), Load(v1.sx))));
    const __m128 zero = _mm_setzero_ps();
    // Any mode other than the two named ones culls as D3DCULL_CCW on this path.
    const __m128 keep = cullMode == CULL_CW ? _mm_cmpge_ps(area, zero) : _mm_cmple_ps(area, zero);
    result.keepMask &= static_cast<std::uint32_t>(_mm_movemask_ps(keep));
}

void CullBatch(const RenderDevice& device, const VertexBatch& batch, ClipResult& result) {
    const std::uint32_t cullMode = device.renderStates[RS_CULLMODE];
    if (device.ssePath) CullBatchSse(cullMode, batch, result);
    else CullBatchScalar(cullMode, batch, result);
}
