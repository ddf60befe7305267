// PrepareTexCoords: after the texture transform, coordinates become texel positions of the stage's
// level-0 texture, 0 at the left (top) edge and width (height) at the right (bottom) edge. With
// linear filtering the -0.5 offset puts texel centres on whole numbers.
#include <immintrin.h>

#include <cstring>

#include "raster/triangle_setup.h"
#include "render/render_device.h"

namespace {

// The offset CompileRasterState stores in the stage's texel-offset state, as float bits.
float StageTexelOffset(const TextureStage& stage) {
    float offset;
    std::memcpy(&offset, &stage.states[TSS_TEXELOFFSET], sizeof offset);
    return offset;
}

}  // namespace

void PrepareTexCoordsScalar(const RenderDevice& device, VertexBatch& batch, VertexFormat format) {
    TransformTexCoordsScalar(device, batch, format);
    for (int stage = 0; stage < kTextureStages; ++stage) {
        if (!(format & VertexFormatTexBit(stage))) continue;
        const TextureStage& state = device.stages[stage];
        const float width = state.levels[0].widthF;
        const float height = state.levels[0].heightF;
        const float offset = StageTexelOffset(state);
        for (VertexSlot& slot : batch.corner)
            for (int lane = 0; lane < kBatchLanes; ++lane) {
                slot.tex[stage][0].lane[lane] = slot.tex[stage][0].lane[lane] * width + offset;
                slot.tex[stage][1].lane[lane] = slot.tex[stage][1].lane[lane] * height + offset;
            }
    }
}

void PrepareTexCoordsSse(const RenderDevice& device, VertexBatch& batch, VertexFormat format) {
    TransformTexCoordsSse(device, batch, format);
    for (int stage = 0; stage < kTextureStages; ++stage) {
        if (!(format & VertexFormatTexBit(stage))) continue;
        const TextureStage& state = device.stages[stage];
        const __m128 width = _mm_set1_ps(state.levels[0].widthF);
        const __m128 height = _mm_set1_ps(state.levels[0].heightF);
        // This form takes the offset from the filter itself; with CompileRasterState's offsets it
        // is the same value.
        const __m128 offset = _mm_set1_ps(state.states[TSS_MAGFILTER] == TEXF_LINEAR ? -0.5f : 0.0f);
        for (VertexSlot& slot : batch.corner) {
            float* u = slot.tex[stage][0].lane;
            float* v = slot.tex[stage][1].lane;
            _mm_store_ps(u, _mm_add_ps(_mm_mul_ps(_mm_load_ps(u), width), offset));
            _mm_store_ps(v, _mm_add_ps(_mm_mul_ps(_mm_load_ps(v), height), offset));
        }
    }
}

void PrepareTexCoords(const RenderDevice& device, VertexBatch& batch, VertexFormat format) {
    if (device.ssePath) PrepareTexCoordsSse(device, batch, format);
    else PrepareTexCoordsScalar(device, batch, format);
}
