// Scalar form of the position transform and vertex blending: one lane at a time, plain floats.
#include "render/render_device.h"
#include "render/vertex_transform.h"

namespace {

void TransformCorner(const Matrix4& c, const VertexSlot& corner, Lanes& X, Lanes& Y, Lanes& Z, Lanes& W) {
    const float(&m)[4][4] = c.m;
    for (int lane = 0; lane < kBatchLanes; ++lane) {
        const float x = corner.x.lane[lane];
        const float y = corner.y.lane[lane];
        const float z = corner.z.lane[lane];
        X.lane[lane] = x * m[0][0] + y * m[1][0] + z * m[2][0] + m[3][0];
        Y.lane[lane] = x * m[0][1] + y * m[1][1] + z * m[2][1] + m[3][1];
        Z.lane[lane] = x * m[0][2] + y * m[1][2] + z * m[2][2] + m[3][2];
        W.lane[lane] = x * m[0][3] + y * m[1][3] + z * m[2][3] + m[3][3];
    }
}

void BlendCorner(VertexSlot& corner, int weightCount) {
    const Lanes* weights[3] = {&corner.w1, &corner.w2, &corner.w3};
    Lanes* blended[4] = {&corner.X, &corner.Y, &corner.Z, &corner.W};
    for (int lane = 0; lane < kBatchLanes; ++lane) {
        float last = 1.0f;
        for (int i = 0; i < weightCount; ++i) last -= weights[i]->lane[lane];
        for (int axis = 0; axis < 4; ++axis) {
            float sum = weights[0]->lane[lane] * blended[axis]->lane[lane];
            for (int i = 1; i < weightCount; ++i) sum += weights[i]->lane[lane] * corner.blend[i - 1][axis].lane[lane];
            sum += last * corner.blend[weightCount - 1][axis].lane[lane];
            blended[axis]->lane[lane] = sum;
        }
    }
}

}  // namespace

void TransformBatchScalar(const RenderDevice& device, VertexBatch& batch) {
    const int weightCount = BlendWeightCount(device);
    for (VertexSlot& corner : batch.corner) {
        TransformCorner(device.composite[0], corner, corner.X, corner.Y, corner.Z, corner.W);
        for (int i = 0; i < weightCount; ++i) {
            Lanes(&b)[4] = corner.blend[i];
            TransformCorner(device.composite[i + 1], corner, b[0], b[1], b[2], b[3]);
        }
        if (weightCount > 0) BlendCorner(corner, weightCount);
    }
}
