// The colour operations in plain C++: each channel of each pixel on its own, four pixels per step
// like the SSE form beside it (color_ops_sse.cpp).

#include <algorithm>

#include "raster/color_op_forms.h"

namespace {

using ChannelOp = int (*)(int a, int b);

template <ChannelOp Op>
Color32 PerChannel(Color32 a, Color32 b) {
    Color32 result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int channel =
            Op(static_cast<int>((a >> shift) & 0xFF), static_cast<int>((b >> shift) & 0xFF));
        result |= static_cast<Color32>(channel) << shift;
    }
    return result;
}

// currentArray = Op(argument 1, argument 2) over the span; the last group may run up to three
// entries past the span, inside the arrays.
template <ChannelOp Op>
void CombineSpan() {
    const SpanContext& c = g_spanContext;
    const Color32* first = c.firstArgEnd;
    const Color32* second = c.secondArgEnd;
    Color32* current = c.currentEnd;
    for (int i = c.spanStart - c.spanEnd; i < 0; i += 4) {
        for (int k = 0; k < 4; ++k) current[i + k] = PerChannel<Op>(first[i + k], second[i + k]);
    }
}

int Clamp255(int value) { return std::clamp(value, 0, 255); }

int SelectFirst(int a, int) { return a; }
int SelectSecond(int, int b) { return b; }
// An 8-bit fraction times an 8-bit fraction, so 255 x 255 gives 254.
int Modulate(int a, int b) { return (a * b) >> 8; }
int Modulate2x(int a, int b) { return std::min(255, (a * b) >> 7); }
int Modulate4x(int a, int b) { return std::min(255, (a * b) >> 6); }
int Add(int a, int b) { return std::min(255, a + b); }
int AddSigned(int a, int b) { return Clamp255(a + b - 128); }
int AddSigned2x(int a, int b) { return Clamp255(2 * (a + b - 128)); }
int Subtract(int a, int b) { return std::max(0, a - b); }
int AddSmooth(int a, int b) { return Clamp255(a + b - ((a * b) >> 8)); }

int BlendChannel(int a, int b, int f) {
    const int x = a * f + b * (255 - f) + 128;
    return (x + (x >> 8)) >> 8;
}

// currentArray = argument 1 x f + argument 2 x (1 - f), f the alpha of the factor array's pixel.
template <Color32* SpanContext::*FactorEnd>
void BlendSpanByAlpha() {
    const SpanContext& c = g_spanContext;
    const Color32* first = c.firstArgEnd;
    const Color32* second = c.secondArgEnd;
    const Color32* factor = c.*FactorEnd;
    Color32* current = c.currentEnd;
    for (int i = c.spanStart - c.spanEnd; i < 0; i += 4) {
        for (int k = 0; k < 4; ++k) {
            const int f = static_cast<int>(factor[i + k] >> 24);
            const Color32 a = first[i + k];
            const Color32 b = second[i + k];
            Color32 result = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const int channel = BlendChannel(static_cast<int>((a >> shift) & 0xFF),
                                                 static_cast<int>((b >> shift) & 0xFF), f);
                result |= static_cast<Color32>(channel) << shift;
            }
            current[i + k] = result;
        }
    }
}

}  // namespace

const SpanRoutine kScalarColorOps[kColorOpCount] = {
    CombineSpan<SelectFirst>,
    CombineSpan<SelectSecond>,
    CombineSpan<Modulate>,
    CombineSpan<Modulate2x>,
    CombineSpan<Modulate4x>,
    CombineSpan<Add>,
    CombineSpan<AddSigned>,
    CombineSpan<AddSigned2x>,
    CombineSpan<Subtract>,
    CombineSpan<AddSmooth>,
    BlendSpanByAlpha<&SpanContext::diffuseEnd>,
    BlendSpanByAlpha<&SpanContext::texelEnd>,
};
