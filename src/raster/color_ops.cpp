#include "raster/color_ops.h"

#include "raster/color_op_forms.h"

SpanRoutine ColorOpRoutine(std::uint32_t colorOp, bool ssePath) {
    if (colorOp < kFirstColorOp || colorOp >= kFirstColorOp + kColorOpCount) return nullptr;
    const SpanRoutine* table = ssePath ? kSseColorOps : kScalarColorOps;
    return table[colorOp - kFirstColorOp];
}
