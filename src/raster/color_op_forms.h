#pragma once
// The colour operations in their two forms, indexed by D3DTSS_COLOROP - kFirstColorOp, for
// ColorOpRoutine to choose from once per draw.

#include "raster/span_context.h"

constexpr int kFirstColorOp = 2;   // select argument 1
constexpr int kColorOpCount = 12;  // up to 13, blend texture alpha

extern const SpanRoutine kScalarColorOps[kColorOpCount];
extern const SpanRoutine kSseColorOps[kColorOpCount];

// The blend operations weigh argument 1 by an alpha f (0-255) and argument 2 by 255 - f, and divide
// by 255 rounded to nearest: with x = a f + b (255 - f) + 128, (x + (x >> 8)) >> 8 equals that
// quotient exactly for every x that can occur, and every step stays within 16 bits.
