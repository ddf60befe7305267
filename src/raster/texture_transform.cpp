// TransformTexCoords: the stage's texture matrix applied to (u, v, 1, 1) as a row vector, so both
// the third and the fourth row translate. D3DTTFF_COUNT1 rewrites u only, COUNT2 both.
#include <immintrin.h>

#include "raster/triangle_setup.h"
#include "render/render_device.h"

namespace {

// One column of the texture matrix, each entry four times.
struct MatrixColumn {
    __m128 row[4];
};

// The stages whose coordinates are transformed, with the number of coordinates written.
int TransformedCount(const RenderDevice& device, VertexFormat format, int stage) {
    if (!(format & VertexFormatTexBit(stage))) return 0;
    const std::uint32_t flags = device.stages[stage].states[TSS_TEXTURETRANSFORMFLAGS];
    if (flags == TTFF_COUNT1) return 1;
    if (flags == TTFF_COUNT2) return 2;
    return 0;
}

}  // namespace

void TransformTexCoordsScalar(const RenderDevice& device, VertexBatch& batch, VertexFormat format) {
    for (int stage = 0; stage < kTextureStages; ++stage) {
        const int count = TransformedCount(device, format, stage);
        if (count == 0) continue;
        const float (&m)[4][4] = device.textureMatrix[stage].m;
        for (VertexSlot& slot : batch.corner)
            for (int lane = 0; lane < kBatchLanes; ++lane) {
                const float u = slot.tex[stage][0].lane[lane];
                const float v = slot.tex[stage][1].lane[lane];
                slot.tex[stage][0].lane[lane] = u * m[0][0] + v * m[1][0] + m[2][0] + m[3][0];
                if (count == 2) slot.tex[stage][1].lane[lane] = u * m[0][1] + v * m[1][1] + m[2][1] + m[3][1];
            }
    }
}

void TransformTexCoordsSse(const RenderDevice& device, VertexBatch& batch, VertexFormat format) {
    for (int stage = 0; stage < kTextureStages; ++stage) {
        const int count = TransformedCount(device, format, stage);
        if (count == 0) continue;
        // Broadcast from the matrix itself rather than the four-lane copy, which is only refreshed
        // when a transform changes and not when a stage turns its transform on.
        const float (&m)[4][4] = device.textureMatrix[stage].m;
        const auto column = [&](int c) {
            return MatrixColumn{{_mm_set1_ps(m[0][c]), _mm_set1_ps(m[1][c]), _mm_set1_ps(m[2][c]), _mm_set1_ps(m[3][c])}};
        };
        const auto apply = [](const MatrixColumn& col, __m128 u, __m128 v) {
            return _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(u, col.row[0]), _mm_mul_ps(v, col.row[1])), col.row[2]), col.row[3]);
        };
        const auto uColumn = column(0);
        const auto vColumn = column(1);
        for (VertexSlot& slot : batch.corner) {
            const __m128 u = _mm_load_ps(slot.tex[stage][0].lane);
            const __m128 v = _mm_load_ps(slot.tex[stage][1].lane);
            _mm_store_ps(slot.tex[stage][0].lane, apply(uColumn, u, v));
            if (count == 2) _mm_store_ps(slot.tex[stage][1].lane, apply(vColumn, u, v));
        }
    }
}

void TransformTexCoords(const RenderDevice& device, VertexBatch& batch, VertexFormat format) {
    if (device.ssePath) TransformTexCoordsSse(device, batch, format);
    else TransformTexCoordsScalar(device, batch, format);
}
