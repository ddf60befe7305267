#pragma once
// Texel fetch: each active texture stage fills texelArray with one perspective-correct, wrapped
// texel per pixel of the span, by point sampling or bilinear filtering.

#include "raster/span_context.h"

// The default fetch: fills nothing.
void FetchNoTexels();
// The fetch routine bound to stage 0-3's texStart, texStep4 and sampling block.
SpanRoutine PointFetchRoutine(int stage, bool ssePath);
SpanRoutine BilinearFetchRoutine(int stage, bool ssePath);
