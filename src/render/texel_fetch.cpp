#include "render/texel_fetch.h"

#include "render/texel_fetch_forms.h"

void FetchNoTexels() {}

SpanRoutine PointFetchRoutine(int stage, bool ssePath) {
    if (stage < 0 || stage >= kTextureStages) return FetchNoTexels;
    return (ssePath ? kSsePointFetch : kScalarPointFetch)[stage];
}

SpanRoutine BilinearFetchRoutine(int stage, bool ssePath) {
    if (stage < 0 || stage >= kTextureStages) return FetchNoTexels;
    return (ssePath ? kSseBilinearFetch : kScalarBilinearFetch)[stage];
}

bool SamplingUsable(const StageSampling& sampling) {
    const std::int32_t width = sampling.rowLength[0];
    const std::int32_t log2Width = sampling.log2Width[0];
    if (sampling.pixels == nullptr || width <= 0 || log2Width < 0 || log2Width > 30) return false;
    if (width != (std::int32_t{1} << log2Width) || sampling.columnMask[0] != width - 1)
        return false;
    return sampling.rowMask[0] >= 0 && (sampling.rowMask[0] & (width - 1)) == 0;
}

void FillTexelsOpaqueWhite() {
    const SpanContext& c = g_spanContext;
    Color32* texels = c.texelEnd;
    for (int i = c.spanStart - c.spanEnd; i < 0; i += 4) {
        for (int k = 0; k < 4; ++k) texels[i + k] = 0xFFFFFFFF;
    }
}
