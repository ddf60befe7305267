// The span driver shared by both paths: per-pixel w and fog coordinate, the depth pre-test, the
// vertex colour, the texture stages, fog, blending and finally the pixel writer.
#include <cstddef>

#include "raster/span_context.h"
#include "raster/span_stages.h"

namespace {

// Every end pointer that follows the span's extent: the w and fog arrays keep the values computed
// for the untrimmed span, so they start spanTrim entries in.
void SetSpanEnds(SpanContext& c) {
    c.spanLength = c.spanEnd - c.spanStart;
    c.wEnd = c.wArray + c.spanTrim + c.spanLength;
    c.fogEnd = c.fogArray + c.spanTrim + c.spanLength;
    c.depthEnd = c.depthRow + static_cast<std::ptrdiff_t>(c.spanEnd) * c.depthBytesPerPixel;
    c.colorEnd = c.colorRow + static_cast<std::ptrdiff_t>(c.spanEnd) * c.colorBytesPerPixel;
}

void RunStages(SpanContext& c) {
    for (int s = 0; s < kTextureStages && c.stageOp[s] != nullptr; ++s) {
        // A stage without both argument arrays cannot run, so it ends the chain like a missing op.
        if (c.stageArg1Base[s] == nullptr || c.stageArg2Base[s] == nullptr) return;
        c.firstArgEnd = c.stageArg1Base[s] + c.spanLength;
        c.secondArgEnd = c.stageArg2Base[s] + c.spanLength;
        if (c.stageFetch[s] != nullptr) c.stageFetch[s]();
        c.stageOp[s]();
    }
}

}  // namespace

void DrawSpan() {
    SpanContext& c = g_spanContext;
    ++c.spanCount;
    if (c.spanStart >= c.spanEnd) return;
    // 64-bit, so that no pair of extreme bounds can overflow the difference.
    if (static_cast<long long>(c.spanEnd) - c.spanStart > kSpanArrayLength) c.spanEnd = c.spanStart + kSpanArrayLength;
    c.spanTrim = 0;
    SetSpanEnds(c);
    const auto length = static_cast<std::uint32_t>(c.spanLength);
    c.pixelTotal += length;
    // Each span's length plus 3, with bit 1 of the running total then cleared.
    c.roundedPixelTotal = (c.roundedPixelTotal + length + 3u) & ~2u;

    ComputeSpanW();
    if (c.zEnable != 0 && c.depthTrimEnable != 0) {
        TrimSpanByDepth();
        if (c.spanStart >= c.spanEnd) return;
        SetSpanEnds(c);
    }
    c.diffuseEnd = c.diffuseArray + c.spanLength;
    c.texelEnd = c.texelArray + c.spanLength;
    c.currentEnd = c.currentArray + c.spanLength;

    if (c.shadeMode == 1) FillSpanFlat();  // D3DSHADE_FLAT; 2 is Gouraud, others keep diffuseArray
    else if (c.shadeMode == 2) ShadeSpanGouraud();
    RunStages(c);
    if (c.fogEnable != 0) FogSpan();
    if (c.alphaBlendEnable != 0) BlendSpan();
    if (c.pixelWriter != nullptr) c.pixelWriter();
}
