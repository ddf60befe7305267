#pragma once
// The texel fetch routines in their two forms, one per texture stage, and what both forms share:
// the check of a stage's sampling block and the fill used when it cannot be sampled.

#include "raster/span_context.h"

extern const SpanRoutine kScalarPointFetch[kTextureStages];
extern const SpanRoutine kSsePointFetch[kTextureStages];
extern const SpanRoutine kScalarBilinearFetch[kTextureStages];
extern const SpanRoutine kSseBilinearFetch[kTextureStages];

// True when masking with the block's lane-0 masks keeps every texel index below W x H: a level-0
// pointer, a power-of-two row length W with log2 W beside it, column mask W - 1 and a row mask that
// is a non-negative multiple of W. A block filled from a texture without pixels (W = 0) fails.
bool SamplingUsable(const StageSampling& sampling);

// texelArray for the span (in groups of four) becomes opaque white, what a stage without a texture
// samples.
void FillTexelsOpaqueWhite();
