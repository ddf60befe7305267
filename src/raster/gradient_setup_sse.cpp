// Triangle setup of a sorted batch, SSE form: every quantity for the four lanes with one vector
// operation; the formulas and their order are those of the scalar form.
#include <emmintrin.h>

#include <limits>

#include "raster/gradient_setup.h"
#include "raster/scan_rounding.h"

namespace {

__m128 Load(const Lanes& l) { return _mm_load_ps(l.lane); }
void Store(Lanes& l, __m128 v) { _mm_store_ps(l.lane, v); }

// All-ones in the lanes whose value is neither infinite nor NaN.
__m128 FiniteMask(__m128 v) {
    const __m128 magnitude = _mm_and_ps(v, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)));
    return _mm_cmplt_ps(magnitude, _mm_set1_ps(std::numeric_limits<float>::infinity()));
}

__m128i MaxInt(__m128i a, __m128i b) {
    const __m128i greater = _mm_cmpgt_epi32(a, b);
    return _mm_or_si128(_mm_and_si128(greater, a), _mm_andnot_si128(greater, b));
}

// One edge from Va down to Vb, starting at line ys; inverseHeight = 1 / (Va.sy - Vb.sy).
void SetupEdge(const VertexSlot& va, const VertexSlot& vb, __m128 inverseHeight, __m128i ys,
               std::uint32_t attributes, EdgeSetup& edge) {
    const __m128 prestep = _mm_sub_ps(_mm_cvtepi32_ps(ys), Load(va.sy));
    const __m128 xStep = _mm_mul_ps(_mm_sub_ps(Load(va.sx), Load(vb.sx)), inverseHeight);
    Store(edge.xStep, xStep);
    Store(edge.x, _mm_add_ps(Load(va.sx), _mm_mul_ps(xStep, prestep)));
    for (int a = 0; a < kAttributeCount; ++a) {
        if (!(attributes & (1u << a))) continue;
        const __m128 start = Load(VertexAttribute(va, a));
        const __m128 step = _mm_mul_ps(_mm_sub_ps(start, Load(VertexAttribute(vb, a))), inverseHeight);
        Store(edge.step[a], step);
        Store(edge.value[a], _mm_add_ps(start, _mm_mul_ps(step, prestep)));
    }
}

}  // namespace

std::uint32_t InterpolatedAttributesSse(const SpanContext& context) {
    std::uint32_t attributes = 1u << kAttrRhw;
    if (context.interpolateDiffuse) attributes |= 0xFu << kAttrDiffuse;
    for (int s = 0; s < kTextureStages; ++s)
        if (context.interpolateTex[s]) attributes |= 3u << (kAttrTex + 2 * s);
    return attributes;
}

void SetupBatchSse(const VertexBatch& batch, std::uint32_t attributes, BatchSetup& setup) {
    const SpanContext& c = g_spanContext;
    const VertexSlot& v0 = batch.corner[0];
    const VertexSlot& v1 = batch.corner[1];
    const VertexSlot& v2 = batch.corner[2];
    const __m128 x0 = Load(v0.sx), x1 = Load(v1.sx), x2 = Load(v2.sx);
    const __m128 y0 = Load(v0.sy), y1 = Load(v1.sy), y2 = Load(v2.sy);
    const __m128 one = _mm_set1_ps(1.0f);
    setup.attributes = attributes;

    const __m128 area = _mm_sub_ps(_mm_mul_ps(_mm_sub_ps(x0, x1), _mm_sub_ps(y2, y1)),
                                   _mm_mul_ps(_mm_sub_ps(x2, x1), _mm_sub_ps(y0, y1)));
    setup.longEdgeLeft = static_cast<std::uint32_t>(_mm_movemask_ps(area));

    const __m128 inverseLong = _mm_div_ps(one, _mm_sub_ps(y0, y2));
    const __m128 inverseUpper = _mm_div_ps(one, _mm_sub_ps(y0, y1));
    const __m128 inverseLower = _mm_div_ps(one, _mm_sub_ps(y1, y2));
    const __m128 invDet = _mm_div_ps(one, _mm_sub_ps(_mm_mul_ps(_mm_sub_ps(x1, x2), _mm_sub_ps(y0, y2)),
                                                     _mm_mul_ps(_mm_sub_ps(x0, x2), _mm_sub_ps(y1, y2))));

    const __m128 lineLow = _mm_set1_ps(static_cast<float>(c.clipTop) - 1.0f);
    const __m128 lineHigh = _mm_set1_ps(static_cast<float>(c.clipBottom) + 1.0f);
    const __m128i top = _mm_set1_epi32(c.clipTop);
    const __m128i yTop = MaxInt(CeilSse(ClampNanLowSse(y0, lineLow, lineHigh)), top);
    const __m128i yMid = MaxInt(CeilSse(ClampNanLowSse(y1, lineLow, lineHigh)), top);
    const __m128i yBottom = CeilSse(ClampNanLowSse(y2, lineLow, lineHigh));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(setup.yTop), yTop);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(setup.yMid), yMid);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(setup.yBottom), yBottom);

    SetupEdge(v0, v2, inverseLong, yTop, attributes, setup.longEdge);
    SetupEdge(v0, v1, inverseUpper, yTop, attributes, setup.upperEdge);
    SetupEdge(v1, v2, inverseLower, yMid, attributes, setup.lowerEdge);

    __m128 finite = _mm_and_ps(_mm_and_ps(FiniteMask(x0), FiniteMask(x1)), FiniteMask(x2));
    finite = _mm_and_ps(finite, _mm_and_ps(_mm_and_ps(FiniteMask(y0), FiniteMask(y1)), FiniteMask(y2)));
    finite = _mm_and_ps(finite, FiniteMask(invDet));
    for (int a = 0; a < kAttributeCount; ++a) {
        if (!(attributes & (1u << a))) continue;
        const __m128 a0 = Load(VertexAttribute(v0, a));
        const __m128 a1 = Load(VertexAttribute(v1, a));
        const __m128 a2 = Load(VertexAttribute(v2, a));
        const __m128 dadx = _mm_mul_ps(_mm_sub_ps(_mm_mul_ps(_mm_sub_ps(a1, a2), _mm_sub_ps(y0, y2)),
                                                  _mm_mul_ps(_mm_sub_ps(a0, a2), _mm_sub_ps(y1, y2))),
                                       invDet);
        Store(setup.dadx[a], dadx);
        finite = _mm_and_ps(finite, FiniteMask(dadx));
    }
    setup.drawable = static_cast<std::uint32_t>(_mm_movemask_ps(finite));
}
