// Vertex processing of one batch: flat colours, position transform and blending, then the batch
// goes to the consumer (clipping and rasterization unless a caller installed another).
#include "render/flat_colors.h"
#include "render/render_device.h"
#include "render/vertex_transform.h"

int BlendWeightCount(const RenderDevice& device) {
    const std::uint32_t blend = device.renderStates[RS_VERTEXBLEND];
    return blend >= 1 && blend <= 3 ? static_cast<int>(blend) : 0;
}

void RenderDevice::ProcessBatch(VertexBatch& batch) {
    statistics[5] += kBatchLanes;
    const bool sse = ssePath != 0;
    // Taken before lighting, which triangle setup applies later.
    if (renderStates[RS_SHADEMODE] == SHADE_FLAT) {
        if (sse)
            PackFlatColorsSse(batch, flatColors);
        else
            PackFlatColorsScalar(batch, flatColors);
    }
    if (sse)
        TransformBatchSse(*this, batch);
    else
        TransformBatchScalar(*this, batch);
    if (batchConsumer != nullptr) batchConsumer(*this, batch);
}
