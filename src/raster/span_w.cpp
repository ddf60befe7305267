// Per-pixel w = 1 / rhw and fog coordinate 1 + w x fogScale for the span, four pixels per group
// from the span's first pixel (the last group may run up to three entries past the span).
//
// Only FogSpan reads the fog coordinates, so a draw without fog skips them.
#include <xmmintrin.h>

#include "raster/span_context.h"
#include "raster/span_stages.h"

namespace {

template <bool WithFog>
void ComputeSpanWScalar() {
    SpanContext& c = g_spanContext;
    float r[4], step[4], fogScale[4];
    for (int j = 0; j < 4; ++j) {
        r[j] = c.rhwStart[j];
        step[j] = c.rhwStep4[j];
        fogScale[j] = c.fogScale[j];
    }
    for (int i = -c.spanLength; i < 0; i += 4) {
        for (int j = 0; j < 4; ++j) {
            const float w = 1.0f / r[j];
            c.wEnd[i + j] = w;
            if constexpr (WithFog) c.fogEnd[i + j] = w * fogScale[j] + 1.0f;
            r[j] += step[j];
        }
    }
}

// Sixteen pixels per step while at least sixteen remain (the arrays are 4096 entries, a multiple
// of 16), then four; the rhw sequence is the same either way.
template <bool WithFog>
void ComputeSpanWSse() {
    SpanContext& c = g_spanContext;
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 step = _mm_load_ps(c.rhwStep4);
    const __m128 fogScale = _mm_load_ps(c.fogScale);
    __m128 r = _mm_load_ps(c.rhwStart);
    float* w = c.wEnd;
    float* fog = c.fogEnd;
    int i = -c.spanLength;
    for (; i <= -16; i += 16) {
        const __m128 r1 = _mm_add_ps(r, step);
        const __m128 r2 = _mm_add_ps(r1, step);
        const __m128 r3 = _mm_add_ps(r2, step);
        const __m128 w0 = _mm_div_ps(one, r);
        const __m128 w1 = _mm_div_ps(one, r1);
        const __m128 w2 = _mm_div_ps(one, r2);
        const __m128 w3 = _mm_div_ps(one, r3);
        _mm_storeu_ps(w + i, w0);
        _mm_storeu_ps(w + i + 4, w1);
        _mm_storeu_ps(w + i + 8, w2);
        _mm_storeu_ps(w + i + 12, w3);
        if constexpr (WithFog) {
            _mm_storeu_ps(fog + i, _mm_add_ps(_mm_mul_ps(w0, fogScale), one));
            _mm_storeu_ps(fog + i + 4, _mm_add_ps(_mm_mul_ps(w1, fogScale), one));
            _mm_storeu_ps(fog + i + 8, _mm_add_ps(_mm_mul_ps(w2, fogScale), one));
            _mm_storeu_ps(fog + i + 12, _mm_add_ps(_mm_mul_ps(w3, fogScale), one));
        }
        r = _mm_add_ps(r3, step);
    }
    for (; i < 0; i += 4) {
        const __m128 w0 = _mm_div_ps(one, r);
        _mm_storeu_ps(w + i, w0);
        if constexpr (WithFog) _mm_storeu_ps(fog + i, _mm_add_ps(_mm_mul_ps(w0, fogScale), one));
        r = _mm_add_ps(r, step);
    }
}

}  // namespace

void ComputeSpanW() {
    const SpanContext& c = g_spanContext;
    const bool fog = c.fogEnable != 0;
    if (c.ssePath != 0) {
        if (fog) ComputeSpanWSse<true>();
        else ComputeSpanWSse<false>();
    } else {
        if (fog) ComputeSpanWScalar<true>();
        else ComputeSpanWScalar<false>();
    }
}
