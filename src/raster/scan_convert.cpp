// Scan conversion of a set-up batch: the gradient setup of all four lanes, then each lane's scan
// lines in the draw's path, then the edge overlay when asked.
#include "raster/scan_convert.h"

#include "image/pixel_format.h"
#include "raster/clip.h"
#include "raster/gradient_setup.h"
#include "render/render_device.h"

namespace {

// Rows are addressed only inside the clip rectangle, and the span routines address pixels by the
// byte counts the draw chose; a target or depth buffer that does not match those counts (or has no
// pixels, or was described for another device) is not drawn into at all.
bool BuffersMatchSpanRoutines(const SpanContext& c, const RenderDevice& device) {
    // Buffer descriptions compiled for another device may point at memory that is gone.
    return c.compiledFor == &device && c.target.bits != nullptr && c.depth.bits != nullptr && c.depthBytesPerPixel == 4 &&
           c.depth.format == ZBUFFER32 && c.colorBytesPerPixel > 0 &&
           bitsPerPixel(c.target.format) == 8 * c.colorBytesPerPixel;
}

// Interpolants the draw does not set up start at zero and stay there, so the span stages that may
// still read them (Gouraud shading of vertices without a diffuse colour, a stage sampling a texture
// set the vertices lack) see the same values as the zeroed batch and none left by an earlier draw.
void ClearInterpolantsNotSetUp(SpanContext& c, std::uint32_t attributes) {
    for (int a = 0; a < kAttributeCount; ++a) {
        if (attributes & (1u << a)) continue;
        float* start = AttributeStart(c, a);
        float* step = AttributeStep(c, a);
        for (int j = 0; j < 4; ++j) start[j] = step[j] = 0.0f;
    }
}

}  // namespace

void ScanConvertBatch(RenderDevice& device, VertexBatch& batch) {
    SpanContext& c = g_spanContext;
    if (device.renderStates[RS_FILLMODE] == FILL_SOLID && BuffersMatchSpanRoutines(c, device) && c.clipLeft < c.clipRight &&
        c.clipTop < c.clipBottom) {
        c.colorPitch = c.target.pitch;
        c.depthPitch = c.depth.pitch;
        // A queue batch's lanes came from other lanes and other batches, each with its own colour.
        Color32 flatColors[kBatchLanes];
        for (int lane = 0; lane < kBatchLanes; ++lane) flatColors[lane] = LaneFlatColor(device, batch, lane);
        const std::uint32_t attributes =
            device.ssePath ? InterpolatedAttributesSse(c) : InterpolatedAttributesScalar(c.vertexFormat);
        ClearInterpolantsNotSetUp(c, attributes);
        BatchSetup setup;
        if (device.ssePath) {
            SetupBatchSse(batch, attributes, setup);
            ScanConvertLanesSse(setup, flatColors);
        } else {
            SetupBatchScalar(batch, attributes, setup);
            ScanConvertLanesScalar(setup, flatColors);
        }
    }
    if (device.renderStates[RS_EDGEOVERLAY] != 0) EdgeOverlay(device, batch);
}
