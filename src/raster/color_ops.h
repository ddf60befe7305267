#pragma once
// The texture stages' colour operations: each combines the running stage's two argument arrays into
// currentArray for the whole span.

#include <cstdint>

#include "raster/span_context.h"

// The routine for a D3DTSS_COLOROP value (2-13), in its SSE or its plain form; none for any other
// value (1 = disable), which ends the stage chain.
SpanRoutine ColorOpRoutine(std::uint32_t colorOp, bool ssePath);
