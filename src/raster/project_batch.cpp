// ProjectBatch: the perspective divide of all twelve vertices, a true division in both forms. Z is
// not divided; nothing after this reads it.
#include <immintrin.h>

#include "raster/clip.h"
#include "render/render_device.h"

void ProjectBatchScalar(VertexBatch& batch) {
    for (VertexSlot& slot : batch.corner)
        for (int lane = 0; lane < kBatchLanes; ++lane) {
            const float rhw = 1.0f / slot.W.lane[lane];
            slot.rhw.lane[lane] = rhw;
            slot.sx.lane[lane] = slot.X.lane[lane] * rhw;
            slot.sy.lane[lane] = slot.Y.lane[lane] * rhw;
        }
}

void ProjectBatchSse(VertexBatch& batch) {
    for (VertexSlot& slot : batch.corner) {
        const __m128 rhw = _mm_div_ps(_mm_set1_ps(1.0f), _mm_load_ps(slot.W.lane));
        _mm_store_ps(slot.rhw.lane, rhw);
        _mm_store_ps(slot.sx.lane, _mm_mul_ps(_mm_load_ps(slot.X.lane), rhw));
        _mm_store_ps(slot.sy.lane, _mm_mul_ps(_mm_load_ps(slot.Y.lane), rhw));
    }
}

void ProjectBatch(const RenderDevice& device, VertexBatch& batch) {
    if (device.ssePath) ProjectBatchSse(batch);
    else ProjectBatchScalar(batch);
}
