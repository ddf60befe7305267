// Placeholder until the colour operations land.
#include "raster/color_ops.h"

SpanRoutine ColorOpRoutine(std::uint32_t, bool) { return nullptr; }
