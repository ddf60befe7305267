// Scalar form of the position transform and vertex blending: one lane at a time. Like the matrix
// product, each output is an extended-precision sum of its terms rounded to float once, where the
// SSE form rounds after every multiply and add.
#include "render/render_device.h"
#include "render/vertex_transform.h"

namespace {

using Extended = long double;

float Transformed(float x, float y, float z, const float (&m)[4][4], int column) {
    Extended sum = static_cast<Extended>(x) * m[0][column];
    sum += static_cast<Extended>(y) * m[1][column];
    sum += static_cast<Extended>(z) * m[2][column];
    sum += m[3][column];
    return static_cast<float>(sum);
}

void TransformCorner(const Matrix4& c, const VertexSlot& corner, Lanes& X, Lanes& Y, Lanes& Z, Lanes& W) {
    for (int lane = 0; lane < kBatchLanes; ++lane) {
        const float x = corner.x.lane[lane];
        const float y = corner.y.lane[lane];
        const float z = corner.z.lane[lane];
        X.lane[lane] = Transformed(x, y, z, c.m, 0);
        Y.lane[lane] = Transformed(x, y, z, c.m, 1);
        Z.lane[lane] = Transformed(x, y, z, c.m, 2);
        W.lane[lane] = Transformed(x, y, z, c.m, 3);
    }
}

void BlendCorner(VertexSlot& corner, int weightCount) {
    const Lanes* weights[3] = {&corner.w1, &corner.w2, &corner.w3};
    Lanes* blended[4] = {&corner.X, &corner.Y, &corner.Z, &corner.W};
    for (int lane = 0; lane < kBatchLanes; ++lane) {
        Extended last = 1.0L;
        for (int i = 0; i < weightCount; ++i) last -= weights[i]->lane[lane];
        for (int axis = 0; axis < 4; ++axis) {
            Extended sum = static_cast<Extended>(weights[0]->lane[lane]) * blended[axis]->lane[lane];
            for (int i = 1; i < weightCount; ++i)
                sum += static_cast<Extended>(weights[i]->lane[lane]) * corner.blend[i - 1][axis].lane[lane];
            sum += last * corner.blend[weightCount - 1][axis].lane[lane];
            blended[axis]->lane[lane] = static_cast<float>(sum);
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
