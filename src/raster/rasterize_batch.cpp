// RasterizeBatch: triangle setup of a batch whose four lanes are all drawn, then scan conversion.
#include "raster/clip.h"
#include "raster/scan_convert.h"
#include "raster/triangle_setup.h"
#include "render/lighting.h"
#include "render/render_device.h"

void RasterizeBatch(RenderDevice& device, VertexBatch& batch) {
    const VertexFormat format = device.vertexFormat;
    PrepareTexCoords(device, batch, format);
    LightBatch(device, batch);
    PremultiplyByRhw(device, batch, format);
    SortBatchVertices(batch);
    ScanConvertBatch(device, batch);
}
