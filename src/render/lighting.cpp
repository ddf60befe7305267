// The single directional light (light 0): for each vertex k = (n . L) / |n|, no light for k not
// above zero, and each diffuse channel c scaled by min(1, k x D_c + E_c) with D the light's diffuse
// block and E its ambient block. A zero-length normal gets k = 0 on both forms, so no NaN reaches
// a colour. The scalar form divides by the length; the SSE form multiplies by the approximate
// reciprocal square root of n . n (about 12 bits), so the two differ in the low bits.
#include "render/lighting.h"

#include <immintrin.h>

#include "render/lane_copy.h"
#include "render/render_device.h"

namespace {

void LightBatchScalar(const RenderDevice& device, VertexBatch& batch) {
    const Light& light = device.lights[0];
    Vec3 direction;
    direction.Set(light.direction[0], light.direction[1], light.direction[2]);
    for (VertexSlot& corner : batch.corner) {
        for (int lane = 0; lane < kBatchLanes; ++lane) {
            Vec3 normal;
            normal.Set(corner.nx.lane[lane], corner.ny.lane[lane], corner.nz.lane[lane]);
            const float length = normal.Length();
            float k = length > 0.0f ? normal.Dot(direction) / length : 0.0f;
            if (!(k > 0.0f)) k = 0.0f;  // negative, either zero, or NaN from an infinite normal
            for (int c = 0; c < 4; ++c) {
                const float term = k * light.diffuse[c] + light.ambient[c];
                const float factor = term < 1.0f ? term : 1.0f;
                corner.diffuse[c].lane[lane] *= factor;
            }
        }
    }
}

void LightBatchSse(const RenderDevice& device, VertexBatch& batch) {
    const LaneLight& light = device.laneLight;
    const __m128 zero = _mm_setzero_ps();
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 lx = _mm_load_ps(light.direction[0].lane);
    const __m128 ly = _mm_load_ps(light.direction[1].lane);
    const __m128 lz = _mm_load_ps(light.direction[2].lane);
    for (VertexSlot& corner : batch.corner) {
        const __m128 nx = _mm_load_ps(corner.nx.lane);
        const __m128 ny = _mm_load_ps(corner.ny.lane);
        const __m128 nz = _mm_load_ps(corner.nz.lane);
        // Summed z first, like Vec3::Dot.
        const __m128 dot = _mm_add_ps(_mm_add_ps(_mm_mul_ps(nz, lz), _mm_mul_ps(ny, ly)), _mm_mul_ps(nx, lx));
        const __m128 lengthSquared =
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(nz, nz), _mm_mul_ps(ny, ny)), _mm_mul_ps(nx, nx));
        __m128 k = _mm_mul_ps(dot, _mm_rsqrt_ps(lengthSquared));
        // A zero normal gives 0 x infinity = NaN here; NaN, zeros and negatives all fail the compare.
        k = _mm_and_ps(k, _mm_cmpgt_ps(k, zero));
        for (int c = 0; c < 4; ++c) {
            const __m128 term = _mm_add_ps(_mm_mul_ps(k, _mm_load_ps(light.diffuse[c].lane)),
                                           _mm_load_ps(light.ambient[c].lane));
            const __m128 factor = _mm_min_ps(term, one);  // term < 1 ? term : 1, as in the scalar form
            _mm_store_ps(corner.diffuse[c].lane, _mm_mul_ps(_mm_load_ps(corner.diffuse[c].lane), factor));
        }
    }
}

}  // namespace

void LightBatch(const RenderDevice& device, VertexBatch& batch) {
    if (device.renderStates[RS_LIGHTING] == 0 || (device.vertexFormat & VF_NORMAL) == 0) return;
    if (device.ssePath != 0)
        LightBatchSse(device, batch);
    else
        LightBatchScalar(device, batch);
}

// The four-lane copy is written whichever path is on, so a draw that switches to the SSE path later
// never reads a copy older than the light.
void RenderDevice::PrepareLighting() {
    Light& light = lights[0];
    if (renderStates[RS_LIGHTING] == 0 || light.dirty == 0) return;
    light.dirty = 0;
    for (int c = 0; c < 4; ++c) {
        SpreadToLanes(light.diffuse[c], laneLight.diffuse[c]);
        SpreadToLanes(light.specular[c], laneLight.specular[c]);
        SpreadToLanes(light.ambient[c], laneLight.ambient[c]);
    }
    for (int axis = 0; axis < 3; ++axis) {
        SpreadToLanes(light.position[axis], laneLight.position[axis]);
        SpreadToLanes(light.direction[axis], laneLight.direction[axis]);
    }
}
