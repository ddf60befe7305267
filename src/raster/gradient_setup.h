#pragma once
// Per-triangle setup of a sorted batch (V0 top, V1 middle, V2 bottom in every lane): the sign of the
// area, the scan-line range of each half, the three edge records and the x gradients of every
// interpolated attribute. Both forms set up all four lanes before the first lane's scan lines.

#include <cstdint>

#include "raster/span_context.h"
#include "render/vertex_batch.h"

// The interpolated attributes in one list: rhw, the diffuse channels A, R, G, B, then u and v of
// each texture set (already multiplied by rhw).
constexpr int kAttrRhw = 0;
constexpr int kAttrDiffuse = 1;
constexpr int kAttrTex = 5;  // set s: kAttrTex + 2s is u, the next one v
constexpr int kAttributeCount = kAttrTex + 2 * kTextureSets;

// One edge for the four lanes, from its upper vertex Va to its lower vertex Vb.
struct alignas(16) EdgeSetup {
    Lanes x;                         // x at the edge's first scan line
    Lanes xStep;                     // per scan line
    Lanes value[kAttributeCount];    // attributes at the first scan line
    Lanes step[kAttributeCount];     // per scan line
};

struct alignas(16) BatchSetup {
    std::uint32_t attributes;    // bit a: attribute a is interpolated (the same for all lanes)
    std::uint32_t drawable;      // bit i: lane i has finite positions and gradients
    std::uint32_t longEdgeLeft;  // bit i: lane i's long edge V0-V2 is the left edge of every line
    std::int32_t yTop[kBatchLanes];     // first line of the upper half (raised to the clip top)
    std::int32_t yMid[kBatchLanes];     // first line of the lower half (raised to the clip top)
    std::int32_t yBottom[kBatchLanes];  // end line of the lower half
    EdgeSetup longEdge;   // V0-V2, from yTop
    EdgeSetup upperEdge;  // V0-V1, from yTop
    EdgeSetup lowerEdge;  // V1-V2, from yMid
    Lanes dadx[kAttributeCount];
};

// The vertex's copy of attribute a.
inline const Lanes& VertexAttribute(const VertexSlot& v, int a) {
    if (a == kAttrRhw) return v.rhw;
    if (a < kAttrTex) return v.diffuse[a - kAttrDiffuse];
    return v.tex[(a - kAttrTex) / 2][(a - kAttrTex) % 2];
}

// Where the span driver finds attribute a: its start values at four pixels and its four-pixel step.
inline float* AttributeStart(SpanContext& c, int a) {
    if (a == kAttrRhw) return c.rhwStart;
    if (a < kAttrTex) return c.diffuseStart[a - kAttrDiffuse];
    return c.texStart[(a - kAttrTex) / 2][(a - kAttrTex) % 2];
}
inline float* AttributeStep(SpanContext& c, int a) {
    if (a == kAttrRhw) return c.rhwStep4;
    if (a < kAttrTex) return c.diffuseStep4[a - kAttrDiffuse];
    return c.texStep4[(a - kAttrTex) / 2][(a - kAttrTex) % 2];
}

// The scalar path interpolates what the vertex format carries; the SSE path what the draw's
// interpolation flags ask for.
std::uint32_t InterpolatedAttributesScalar(VertexFormat format);
std::uint32_t InterpolatedAttributesSse(const SpanContext& context);

// Scan-line bounds use the clip rectangle of g_spanContext.
void SetupBatchScalar(const VertexBatch& batch, std::uint32_t attributes, BatchSetup& setup);
void SetupBatchSse(const VertexBatch& batch, std::uint32_t attributes, BatchSetup& setup);

// The scan-line walks of the set-up lanes, one DrawSpan per line; flatColors holds one per lane.
void ScanConvertLanesScalar(const BatchSetup& setup, const Color32* flatColors);
void ScanConvertLanesSse(const BatchSetup& setup, const Color32* flatColors);
