// SSE form of the position transform and vertex blending: four lanes per instruction, the same
// formulas in the same order as the scalar form.
#include <immintrin.h>

#include "render/render_device.h"
#include "render/vertex_transform.h"

namespace {

inline __m128 Load(const Lanes& l) { return _mm_load_ps(l.lane); }
inline void Store(Lanes& l, __m128 v) { _mm_store_ps(l.lane, v); }

void TransformCorner(const LaneMatrix& c, const VertexSlot& corner, Lanes& X, Lanes& Y, Lanes& Z, Lanes& W) {
    const __m128 x = Load(corner.x);
    const __m128 y = Load(corner.y);
    const __m128 z = Load(corner.z);
    Lanes* out[4] = {&X, &Y, &Z, &W};
    for (int column = 0; column < 4; ++column) {
        __m128 sum = _mm_mul_ps(x, Load(c.m[0][column]));
        sum = _mm_add_ps(sum, _mm_mul_ps(y, Load(c.m[1][column])));
        sum = _mm_add_ps(sum, _mm_mul_ps(z, Load(c.m[2][column])));
        Store(*out[column], _mm_add_ps(sum, Load(c.m[3][column])));
    }
}

void BlendCorner(VertexSlot& corner, int weightCount) {
    const __m128 weights[3] = {Load(corner.w1), Load(corner.w2), Load(corner.w3)};
    Lanes* blended[4] = {&corner.X, &corner.Y, &corner.Z, &corner.W};
    __m128 last = _mm_set1_ps(1.0f);
    for (int i = 0; i < weightCount; ++i) last = _mm_sub_ps(last, weights[i]);
    for (int axis = 0; axis < 4; ++axis) {
        __m128 sum = _mm_mul_ps(weights[0], Load(*blended[axis]));
        for (int i = 1; i < weightCount; ++i)
            sum = _mm_add_ps(sum, _mm_mul_ps(weights[i], Load(corner.blend[i - 1][axis])));
        sum = _mm_add_ps(sum, _mm_mul_ps(last, Load(corner.blend[weightCount - 1][axis])));
        Store(*blended[axis], sum);
    }
}

}  // namespace

void TransformBatchSse(const RenderDevice& device, VertexBatch& batch) {
    const int weightCount = BlendWeightCount(device);
    for (VertexSlot& corner : batch.corner) {
        TransformCorner(device.laneComposite[0], corner, corner.X, corner.Y, corner.Z, corner.W);
        for (int i = 0; i < weightCount; ++i) {
            Lanes(&b)[4] = corner.blend[i];
            TransformCorner(device.laneComposite[i + 1], corner, b[0], b[1], b[2], b[3]);
        }
        if (weightCount > 0) BlendCorner(corner, weightCount);
    }
}
