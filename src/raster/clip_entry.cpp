// Placeholder until the clipper lands.
#include "raster/rasterizer.h"

void ClipAndRasterizeBatch(RenderDevice&, VertexBatch&) {}
void FlushBatches(RenderDevice&) {}
