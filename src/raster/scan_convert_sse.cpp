// The scan-line walk, SSE form: per line, round the two edges to pixel bounds (ceil), load the
// span's interpolants four pixels at once and call DrawSpan for every line, empty spans included.
#include <cstddef>
#include <emmintrin.h>

#include "raster/gradient_setup.h"
#include "raster/scan_rounding.h"
#include "raster/span_stages.h"

namespace {

constexpr int kPaddedAttributes = 16;  // four groups of four, so the edge advances with four additions

struct alignas(16) EdgeWalk {
    float value[kPaddedAttributes];
    float step[kPaddedAttributes];
    float x;
    float xStep;
};

EdgeWalk StartEdge(const EdgeSetup& edge, int lane, std::uint32_t attributes) {
    EdgeWalk walk{};
    walk.x = edge.x.lane[lane];
    walk.xStep = edge.xStep.lane[lane];
    for (int a = 0; a < kAttributeCount; ++a) {
        if (!(attributes & (1u << a))) continue;
        walk.value[a] = edge.value[a].lane[lane];
        walk.step[a] = edge.step[a].lane[lane];
    }
    return walk;
}

void WalkHalf(std::int32_t ys, std::int32_t ye, EdgeWalk& left, EdgeWalk& right, const float* dadx,
              const int* active, int activeCount) {
    SpanContext& c = g_spanContext;
    const __m128 xLow = _mm_set1_ps(static_cast<float>(c.clipLeft) - 1.0f);
    const __m128 xHigh = _mm_set1_ps(static_cast<float>(c.clipRight) + 1.0f);
    const __m128 pixelOffsets = _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f);
    for (std::int32_t y = ys; y < ye; ++y) {
        const __m128 leftX = ClampNanHighSse(_mm_set_ss(left.x), xLow, xHigh);
        const __m128 rightX = ClampNanLowSse(_mm_set_ss(right.x), xLow, xHigh);
        const __m128i bounds = CeilSse(_mm_unpacklo_ps(leftX, rightX));
        std::int32_t xs = _mm_cvtsi128_si32(bounds);
        std::int32_t xe = _mm_cvtsi128_si32(_mm_srli_si128(bounds, 4));
        if (xs < c.clipLeft) xs = c.clipLeft;
        if (xe > c.clipRight) xe = c.clipRight;

        const __m128 dx = _mm_add_ps(_mm_set1_ps(static_cast<float>(xs) - left.x), pixelOffsets);
        for (int k = 0; k < activeCount; ++k) {
            const int a = active[k];
            const __m128 start = _mm_add_ps(_mm_set1_ps(left.value[a]), _mm_mul_ps(dx, _mm_set1_ps(dadx[a])));
            _mm_store_ps(AttributeStart(c, a), start);
        }
        c.spanStart = xs;
        c.spanEnd = xe;
        c.scanY = y;
        c.colorRow = c.target.bits + static_cast<std::ptrdiff_t>(y) * c.colorPitch;
        c.depthRow = c.depth.bits + static_cast<std::ptrdiff_t>(y) * c.depthPitch;
        DrawSpan();

        left.x += left.xStep;
        right.x += right.xStep;
        for (int g = 0; g < kPaddedAttributes; g += 4)
            _mm_store_ps(left.value + g, _mm_add_ps(_mm_load_ps(left.value + g), _mm_load_ps(left.step + g)));
    }
}

}  // namespace

void ScanConvertLanesSse(const BatchSetup& setup, const Color32* flatColors) {
    SpanContext& c = g_spanContext;
    int active[kAttributeCount];
    int activeCount = 0;
    for (int a = 0; a < kAttributeCount; ++a)
        if (setup.attributes & (1u << a)) active[activeCount++] = a;

    for (int lane = 0; lane < kBatchLanes; ++lane) {
        if (!(setup.drawable & (1u << lane))) continue;
        float dadx[kAttributeCount] = {};
        for (int k = 0; k < activeCount; ++k) {
            const int a = active[k];
            dadx[a] = setup.dadx[a].lane[lane];
            _mm_store_ps(AttributeStep(c, a), _mm_mul_ps(_mm_set1_ps(4.0f), _mm_set1_ps(dadx[a])));
        }
        _mm_store_si128(reinterpret_cast<__m128i*>(c.flatColor),
                        _mm_set1_epi32(static_cast<std::int32_t>(flatColors[lane])));

        const bool longEdgeLeft = setup.longEdgeLeft & (1u << lane);
        EdgeWalk longEdge = StartEdge(setup.longEdge, lane, setup.attributes);
        for (int half = 0; half < 2; ++half) {
            const std::int32_t ys = half == 0 ? setup.yTop[lane] : setup.yMid[lane];
            std::int32_t ye = half == 0 ? setup.yMid[lane] : setup.yBottom[lane];
            if (ye > c.clipBottom) ye = c.clipBottom;
            if (ye <= ys) continue;
            EdgeWalk shortEdge = StartEdge(half == 0 ? setup.upperEdge : setup.lowerEdge, lane, setup.attributes);
            if (longEdgeLeft) WalkHalf(ys, ye, longEdge, shortEdge, dadx, active, activeCount);
            else WalkHalf(ys, ye, shortEdge, longEdge, dadx, active, activeCount);
        }
    }
}
