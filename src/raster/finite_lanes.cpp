// KeepFiniteLanes: after the divide, a lane whose screen position or rhw is infinite or NaN at any
// corner (W = 0, a position already out of float range) is dropped, so that setup and scan
// conversion only ever see finite coordinates.
#include <immintrin.h>

#include <cmath>

#include "raster/clip.h"
#include "render/render_device.h"

void KeepFiniteLanesScalar(const VertexBatch& batch, ClipResult& result) {
    for (const VertexSlot& slot : batch.corner)
        for (int lane = 0; lane < kBatchLanes; ++lane)
            if (!std::isfinite(slot.sx.lane[lane]) || !std::isfinite(slot.sy.lane[lane]) ||
                !std::isfinite(slot.rhw.lane[lane]))
                result.keepMask &= ~(1u << lane);
}

void KeepFiniteLanesSse(const VertexBatch& batch, ClipResult& result) {
    // v - v is 0 for a finite v and NaN for an infinity or a NaN.
    const __m128 zero = _mm_setzero_ps();
    const auto finite = [&](const Lanes& group) {
        const __m128 v = _mm_load_ps(group.lane);
        return _mm_cmpeq_ps(_mm_sub_ps(v, v), zero);
    };
    __m128 all = _mm_castsi128_ps(_mm_set1_epi32(-1));
    for (const VertexSlot& slot : batch.corner)
        all = _mm_and_ps(all, _mm_and_ps(_mm_and_ps(finite(slot.sx), finite(slot.sy)), finite(slot.rhw)));
    result.keepMask &= static_cast<std::uint32_t>(_mm_movemask_ps(all));
}

void KeepFiniteLanes(const RenderDevice& device, const VertexBatch& batch, ClipResult& result) {
    if (device.ssePath) KeepFiniteLanesSse(batch, result);
    else KeepFiniteLanesScalar(batch, result);
}
