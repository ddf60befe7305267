// Texel fetch in plain C++: the same steps as the SSE form beside it (texel_fetch_sse.cpp), lane by
// lane, with the same float products and the same conversion in the rounding mode in force, so both
// forms pick the same texels.

#include <cstdint>

#include "render/math.h"
#include "render/texel_fetch_forms.h"

namespace {

// The float coordinates of the four lanes of a group and their steps over four pixels.
struct LaneCoordinates {
    float u[4], v[4], du[4], dv[4];
};

// u as it is, v pre-multiplied by the row length, both scaled by `scale`; the products by powers of
// two are exact, so the order of the factors does not matter.
LaneCoordinates LoadCoordinates(int stage, float rowLength, float scale) {
    const SpanContext& c = g_spanContext;
    LaneCoordinates lanes;
    for (int k = 0; k < 4; ++k) {
        lanes.u[k] = c.texStart[stage][0][k] * scale;
        lanes.v[k] = c.texStart[stage][1][k] * rowLength * scale;
        lanes.du[k] = c.texStep4[stage][0][k] * scale;
        lanes.dv[k] = c.texStep4[stage][1][k] * rowLength * scale;
    }
    return lanes;
}

template <int Stage>
void PointFetch() {
    const SpanContext& c = g_spanContext;
    const StageSampling& s = c.sampling[Stage];
    if (!SamplingUsable(s)) return FillTexelsOpaqueWhite();
    const std::int32_t columnMask = s.columnMask[0];
    const std::int32_t rowMask = s.rowMask[0];
    const Color32* pixels = s.pixels;
    LaneCoordinates lanes = LoadCoordinates(Stage, s.width[0], 1.0f);
    const float* w = c.wEnd;
    Color32* texels = c.texelEnd;
    for (int i = c.spanStart - c.spanEnd; i < 0; i += 4) {
        for (int k = 0; k < 4; ++k) {
            const std::int32_t column = RoundToInt(lanes.u[k] * w[i + k]) & columnMask;
            const std::int32_t rowOffset = RoundToInt(lanes.v[k] * w[i + k]) & rowMask;
            texels[i + k] = pixels[column | rowOffset];
            lanes.u[k] += lanes.du[k];
            lanes.v[k] += lanes.dv[k];
        }
    }
}

// One channel (at `shift`) of the four texels weighed by their 8-bit weights, which sum to 256.
Color32 BlendChannel(const Color32 (&texel)[4], const std::int32_t (&weight)[4], int shift) {
    std::int32_t sum = 0;
    for (int t = 0; t < 4; ++t) {
        sum += (static_cast<std::int32_t>((texel[t] >> shift) & 0xFF) * weight[t]) >> 8;
    }
    return static_cast<Color32>(sum > 255 ? 255 : sum) << shift;
}

template <int Stage>
void BilinearFetch() {
    const SpanContext& c = g_spanContext;
    if (c.spanStart >= c.spanEnd) return;
    const StageSampling& s = c.sampling[Stage];
    if (!SamplingUsable(s)) return FillTexelsOpaqueWhite();
    const std::int32_t columnMask = s.columnMask[0];
    const std::int32_t rowMask = s.rowMask[0];
    const std::uint32_t rowLength = static_cast<std::uint32_t>(s.rowLength[0]);
    const int log2Width = s.log2Width[0];
    const Color32* pixels = s.pixels;
    // Coordinates with 8 fraction bits.
    LaneCoordinates lanes = LoadCoordinates(Stage, s.width[0], 256.0f);
    const float* w = c.wEnd;
    Color32* texels = c.texelEnd;
    for (int i = c.spanStart - c.spanEnd; i < 0; i += 4) {
        for (int k = 0; k < 4; ++k) {
            const std::int32_t u = RoundToInt(lanes.u[k] * w[i + k]);
            const std::int32_t v = RoundToInt(lanes.v[k] * w[i + k]);
            const std::int32_t fu = u & 255;
            const std::int32_t fv = (v >> log2Width) & 255;
            const std::int32_t column0 = (u >> 8) & columnMask;
            const std::int32_t column1 = (column0 + 1) & columnMask;
            const std::int32_t row0 = (v >> 8) & rowMask;
            // Unsigned, since row0 + W may reach 2^31 on the largest textures before the mask.
            const std::int32_t row1 =
                static_cast<std::int32_t>(static_cast<std::uint32_t>(row0) + rowLength) & rowMask;
            // The weights of the 8-bit fractions lose a little to truncation; the fourth takes
            // what is left of 256, so fu = fv = 0 gives 254 and 2, not 256 and 0.
            std::int32_t weight[4];
            weight[0] = ((255 - fu) * (255 - fv)) >> 8;
            weight[1] = (fu * (255 - fv)) >> 8;
            weight[2] = (fu * fv) >> 8;
            weight[3] = 256 - weight[0] - weight[1] - weight[2];
            const Color32 texel[4] = {pixels[column0 | row0], pixels[column1 | row0],
                                      pixels[column1 | row1], pixels[column0 | row1]};
            texels[i + k] = BlendChannel(texel, weight, 0) | BlendChannel(texel, weight, 8) |
                            BlendChannel(texel, weight, 16) | BlendChannel(texel, weight, 24);
            lanes.u[k] += lanes.du[k];
            lanes.v[k] += lanes.dv[k];
        }
    }
}

}  // namespace

const SpanRoutine kScalarPointFetch[kTextureStages] = {PointFetch<0>, PointFetch<1>, PointFetch<2>,
                                                       PointFetch<3>};
const SpanRoutine kScalarBilinearFetch[kTextureStages] = {BilinearFetch<0>, BilinearFetch<1>,
                                                          BilinearFetch<2>, BilinearFetch<3>};
