// Placeholder until the span driver lands.
#include "raster/span_stages.h"

void DrawSpan() {}
void ComputeSpanW() {}
void TrimSpanByDepth() {}
void FillSpanFlat() {}
void ShadeSpanGouraud() {}
void FogSpan() {}
void BlendSpan() {}

#include "raster/scan_convert.h"

void ScanConvertBatch(RenderDevice&, VertexBatch&) {}
void EdgeOverlay(RenderDevice&, const VertexBatch&) {}
