// Triangle setup of a sorted batch, scalar form: the same quantities as the SSE form, lane by lane.
#include <cmath>

#include "raster/gradient_setup.h"
#include "raster/scan_rounding.h"

namespace {

// One edge of one lane from Va down to Vb, starting at line ys; inverseHeight = 1 / (Va.sy - Vb.sy).
void SetupEdge(const VertexSlot& va, const VertexSlot& vb, int lane, float inverseHeight, std::int32_t ys,
               std::uint32_t attributes, EdgeSetup& edge) {
    const float prestep = static_cast<float>(ys) - va.sy.lane[lane];
    edge.xStep.lane[lane] = (va.sx.lane[lane] - vb.sx.lane[lane]) * inverseHeight;
    edge.x.lane[lane] = va.sx.lane[lane] + edge.xStep.lane[lane] * prestep;
    for (int a = 0; a < kAttributeCount; ++a) {
        if (!(attributes & (1u << a))) continue;
        const float step = (VertexAttribute(va, a).lane[lane] - VertexAttribute(vb, a).lane[lane]) * inverseHeight;
        edge.step[a].lane[lane] = step;
        edge.value[a].lane[lane] = VertexAttribute(va, a).lane[lane] + step * prestep;
    }
}

}  // namespace

std::uint32_t InterpolatedAttributesScalar(VertexFormat format) {
    std::uint32_t attributes = 1u << kAttrRhw;
    if (format & VF_DIFFUSE) attributes |= 0xFu << kAttrDiffuse;
    for (int s = 0; s < kTextureSets; ++s)
        if (format & VertexFormatTexBit(s)) attributes |= 3u << (kAttrTex + 2 * s);
    return attributes;
}

void SetupBatchScalar(const VertexBatch& batch, std::uint32_t attributes, BatchSetup& setup) {
    const SpanContext& c = g_spanContext;
    const VertexSlot& v0 = batch.corner[0];
    const VertexSlot& v1 = batch.corner[1];
    const VertexSlot& v2 = batch.corner[2];
    const float lineLow = static_cast<float>(c.clipTop) - 1.0f;
    const float lineHigh = static_cast<float>(c.clipBottom) + 1.0f;
    setup.attributes = attributes;
    setup.drawable = 0;
    setup.longEdgeLeft = 0;

    for (int i = 0; i < kBatchLanes; ++i) {
        const float x0 = v0.sx.lane[i], x1 = v1.sx.lane[i], x2 = v2.sx.lane[i];
        const float y0 = v0.sy.lane[i], y1 = v1.sy.lane[i], y2 = v2.sy.lane[i];

        const float area = (x0 - x1) * (y2 - y1) - (x2 - x1) * (y0 - y1);
        if (std::signbit(area)) setup.longEdgeLeft |= 1u << i;

        const float inverseLong = 1.0f / (y0 - y2);
        const float inverseUpper = 1.0f / (y0 - y1);
        const float inverseLower = 1.0f / (y1 - y2);
        const float invDet = 1.0f / ((x1 - x2) * (y0 - y2) - (x0 - x2) * (y1 - y2));

        std::int32_t yTop = RoundUpScalar(ClampPosition(y0, lineLow, lineHigh, lineLow));
        std::int32_t yMid = RoundUpScalar(ClampPosition(y1, lineLow, lineHigh, lineLow));
        const std::int32_t yBottom = RoundUpScalar(ClampPosition(y2, lineLow, lineHigh, lineLow));
        if (yTop < c.clipTop) yTop = c.clipTop;
        if (yMid < c.clipTop) yMid = c.clipTop;
        setup.yTop[i] = yTop;
        setup.yMid[i] = yMid;
        setup.yBottom[i] = yBottom;

        SetupEdge(v0, v2, i, inverseLong, yTop, attributes, setup.longEdge);
        SetupEdge(v0, v1, i, inverseUpper, yTop, attributes, setup.upperEdge);
        SetupEdge(v1, v2, i, inverseLower, yMid, attributes, setup.lowerEdge);

        bool finite = std::isfinite(x0) && std::isfinite(x1) && std::isfinite(x2) && std::isfinite(y0) &&
                      std::isfinite(y1) && std::isfinite(y2) && std::isfinite(invDet);
        for (int a = 0; a < kAttributeCount; ++a) {
            if (!(attributes & (1u << a))) continue;
            const float a0 = VertexAttribute(v0, a).lane[i];
            const float a1 = VertexAttribute(v1, a).lane[i];
            const float a2 = VertexAttribute(v2, a).lane[i];
            const float dadx = ((a1 - a2) * (y0 - y2) - (a0 - a2) * (y1 - y2)) * invDet;
            setup.dadx[a].lane[i] = dadx;
            finite = finite && std::isfinite(dadx);
        }
        if (finite) setup.drawable |= 1u << i;
    }
}
