// PremultiplyByRhw: attributes interpolated with perspective correction are multiplied by rhw here,
// interpolated linearly on the screen, and multiplied back by each pixel's w in the span stage.
// Normals are never interpolated, so they stay as they are.
#include <immintrin.h>

#include "raster/triangle_setup.h"
#include "render/render_device.h"

void PremultiplyByRhwScalar(VertexBatch& batch, VertexFormat format) {
    for (VertexSlot& slot : batch.corner)
        for (int lane = 0; lane < kBatchLanes; ++lane) {
            const float rhw = slot.rhw.lane[lane];
            if (format & VF_DIFFUSE)
                for (Lanes& channel : slot.diffuse) channel.lane[lane] *= rhw;
            for (int set = 0; set < kTextureSets; ++set)
                if (format & VertexFormatTexBit(set)) {
                    slot.tex[set][0].lane[lane] *= rhw;
                    slot.tex[set][1].lane[lane] *= rhw;
                }
        }
}

void PremultiplyByRhwSse(VertexBatch& batch, VertexFormat format) {
    const auto scale = [](Lanes& group, __m128 rhw) { _mm_store_ps(group.lane, _mm_mul_ps(_mm_load_ps(group.lane), rhw)); };
    for (VertexSlot& slot : batch.corner) {
        const __m128 rhw = _mm_load_ps(slot.rhw.lane);
        if (format & VF_DIFFUSE)
            for (Lanes& channel : slot.diffuse) scale(channel, rhw);
        // Specular is not interpolated later; this form scales it all the same.
        if (format & VF_SPECULAR)
            for (Lanes& channel : slot.specular) scale(channel, rhw);
        for (int set = 0; set < kTextureSets; ++set)
            if (format & VertexFormatTexBit(set)) {
                scale(slot.tex[set][0], rhw);
                scale(slot.tex[set][1], rhw);
            }
    }
}

void PremultiplyByRhw(const RenderDevice& device, VertexBatch& batch, VertexFormat format) {
    if (device.ssePath) PremultiplyByRhwSse(batch, format);
    else PremultiplyByRhwScalar(batch, format);
}
