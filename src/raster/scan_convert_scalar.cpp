// The scan-line walk, scalar form: per line, round the two edges to pixel bounds (x + 0.5 to
// nearest), load the span's interpolants and draw it when it holds pixels.
#include <cstddef>

#include "raster/gradient_setup.h"
#include "raster/scan_rounding.h"
#include "raster/span_stages.h"

namespace {

struct EdgeWalk {
    float x;
    float xStep;
    float value[kAttributeCount];
    float step[kAttributeCount];
};

struct ActiveAttributes {
    int index[kAttributeCount];
    int count = 0;
};

EdgeWalk StartEdge(const EdgeSetup& edge, int lane, const ActiveAttributes& active) {
    EdgeWalk walk{};
    walk.x = edge.x.lane[lane];
    walk.xStep = edge.xStep.lane[lane];
    for (int k = 0; k < active.count; ++k) {
        const int a = active.index[k];
        walk.value[a] = edge.value[a].lane[lane];
        walk.step[a] = edge.step[a].lane[lane];
    }
    return walk;
}

void WalkHalf(std::int32_t ys, std::int32_t ye, EdgeWalk& left, EdgeWalk& right, const float* dadx,
              const ActiveAttributes& active) {
    SpanContext& c = g_spanContext;
    const float xLow = static_cast<float>(c.clipLeft) - 1.0f;
    const float xHigh = static_cast<float>(c.clipRight) + 1.0f;
    for (std::int32_t y = ys; y < ye; ++y) {
        std::int32_t xs = RoundUpScalar(ClampPosition(left.x, xLow, xHigh, xHigh));
        std::int32_t xe = RoundUpScalar(ClampPosition(right.x, xLow, xHigh, xLow));
        if (xs < c.clipLeft) xs = c.clipLeft;
        if (xe > c.clipRight) xe = c.clipRight;
        if (xs < xe) {
            const float dx = static_cast<float>(xs) - left.x;
            for (int k = 0; k < active.count; ++k) {
                const int a = active.index[k];
                float* start = AttributeStart(c, a);
                for (int j = 0; j < 4; ++j) start[j] = left.value[a] + (dx + static_cast<float>(j)) * dadx[a];
            }
            c.spanStart = xs;
            c.spanEnd = xe;
            c.scanY = y;
            c.colorRow = c.target.bits + static_cast<std::ptrdiff_t>(y) * c.colorPitch;
            c.depthRow = c.depth.bits + static_cast<std::ptrdiff_t>(y) * c.depthPitch;
            DrawSpan();
        }
        left.x += left.xStep;
        right.x += right.xStep;
        for (int k = 0; k < active.count; ++k) left.value[active.index[k]] += left.step[active.index[k]];
    }
}

}  // namespace

void ScanConvertLanesScalar(const BatchSetup& setup, const Color32* flatColors) {
    SpanContext& c = g_spanContext;
    ActiveAttributes active;
    for (int a = 0; a < kAttributeCount; ++a)
        if (setup.attributes & (1u << a)) active.index[active.count++] = a;

    for (int lane = 0; lane < kBatchLanes; ++lane) {
        if (!(setup.drawable & (1u << lane))) continue;
        float dadx[kAttributeCount] = {};
        for (int k = 0; k < active.count; ++k) {
            const int a = active.index[k];
            dadx[a] = setup.dadx[a].lane[lane];
            float* step = AttributeStep(c, a);
            for (int j = 0; j < 4; ++j) step[j] = 4.0f * dadx[a];
        }
        for (int j = 0; j < 4; ++j) c.flatColor[j] = flatColors[lane];

        const bool longEdgeLeft = setup.longEdgeLeft & (1u << lane);
        EdgeWalk longEdge = StartEdge(setup.longEdge, lane, active);
        for (int half = 0; half < 2; ++half) {
            const std::int32_t ys = half == 0 ? setup.yTop[lane] : setup.yMid[lane];
            std::int32_t ye = half == 0 ? setup.yMid[lane] : setup.yBottom[lane];
            if (ye > c.clipBottom) ye = c.clipBottom;
            if (ye <= ys) continue;
            EdgeWalk shortEdge = StartEdge(half == 0 ? setup.upperEdge : setup.lowerEdge, lane, active);
            if (longEdgeLeft) WalkHalf(ys, ye, longEdge, shortEdge, dadx, active);
            else WalkHalf(ys, ye, shortEdge, longEdge, dadx, active);
        }
    }
}
