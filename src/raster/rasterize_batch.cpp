// RasterizeBatch: triangle setup of a batch whose four lanes are all drawn, then scan conversion.
#include <algorithm>
#include <iterator>

#include "raster/clip.h"
#include "raster/scan_convert.h"
#include "raster/triangle_setup.h"
#include "render/lighting.h"
#include "render/render_device.h"

namespace {

void SetUpAndScanConvert(RenderDevice& device, VertexBatch& batch) {
    const VertexFormat format = device.vertexFormat;
    PrepareTexCoords(device, batch, format);
    LightBatch(device, batch);
    PremultiplyByRhw(device, batch, format);
    SortBatchVertices(batch);
    ScanConvertBatch(device, batch);
}

}  // namespace

void RasterizeBatch(RenderDevice& device, VertexBatch& batch) {
    if (!IsQueueBatch(device, batch)) {
        SetUpAndScanConvert(device, batch);
        return;
    }
    // The scan converter takes flat colours from the device by lane; a queue batch's lanes came
    // from other lanes and other batches, so their own colours stand in for the draw.
    Color32 saved[kBatchLanes];
    std::copy(std::begin(device.flatColors), std::end(device.flatColors), saved);
    for (int lane = 0; lane < kBatchLanes; ++lane) device.flatColors[lane] = LaneFlatColor(device, batch, lane);
    SetUpAndScanConvert(device, batch);
    std::copy(std::begin(saved), std::end(saved), device.flatColors);
}
