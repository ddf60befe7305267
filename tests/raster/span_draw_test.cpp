// DrawSpan as a whole: the depth trim changes no pixel, hidden spans still count, fog with an
// ordinary depth leaves colours alone, and long spans are cut to the arrays.
#include <gtest/gtest.h>

#include "render/texel_fetch.h"
#include "scan_test_support.h"

namespace {

constexpr int kWidth = 16;
constexpr int kStart = 2;
constexpr int kEnd = 14;

// A Gouraud span at w = 2 whose red channel is 10 + 2k at pixel k; the first five pixels lie behind
// the stored depth.
void PrepareSpan(SpanTarget& target, float rhwStep4 = 0.0f) {
    SpanContext& c = g_spanContext;
    c.shadeMode = SHADE_GOURAUD;
    c.interpolateDiffuse = 1;
    for (int x = kStart; x < kStart + 5; ++x) target.SetDepth(x, 0, 1.0f);
    target.SetSpan(0, kStart, kEnd);
    for (int j = 0; j < 4; ++j) {
        c.rhwStart[j] = 0.5f + rhwStep4 * static_cast<float>(j) / 4.0f;
        c.rhwStep4[j] = rhwStep4;
        c.diffuseStart[CH_A][j] = 127.5f;
        c.diffuseStart[CH_R][j] = 5.0f + j;
        c.diffuseStep4[CH_R][j] = 4.0f;
    }
}

struct SpanResult {
    std::vector<Color32> color;
    std::vector<float> depth;
    std::int32_t spanStart, spanTrim;
};

SpanResult DrawTestSpan(bool sse, bool trim, float rhwStep4 = 0.0f) {
    ResetSpanContext(sse);
    g_spanContext.depthTrimEnable = trim ? 1 : 0;
    SpanTarget target(kWidth, 1);
    PrepareSpan(target, rhwStep4);
    DrawRounding rounding(sse);
    DrawSpan();
    return {target.Colors(), target.Depths(), g_spanContext.spanStart, g_spanContext.spanTrim};
}

TEST(SpanDraw, FirstFiveHiddenStartsFourLaterAndWritesTheSamePixels) {
    for (bool sse : {false, true}) {
        const SpanResult trimmed = DrawTestSpan(sse, true);
        const SpanResult untrimmed = DrawTestSpan(sse, false);
        EXPECT_EQ(trimmed.spanTrim, 4) << sse;
        EXPECT_EQ(trimmed.spanStart, kStart + 4) << sse;
        EXPECT_EQ(trimmed.color, untrimmed.color) << sse;
        EXPECT_EQ(trimmed.depth, untrimmed.depth) << sse;
        for (int x = 0; x < kWidth; ++x) {
            const int k = x - kStart;
            const bool written = k >= 5 && x < kEnd;  // the fifth pixel is rejected by the writer
            EXPECT_EQ(trimmed.color[x], written ? 0xFF000000u | static_cast<Color32>(10 + 2 * k) << 16 : kBackground)
                << "x " << x << (sse ? " sse" : " scalar");
            EXPECT_EQ(trimmed.depth[x], written ? 2.0f : (k >= 0 && k < 5 ? 1.0f : kFarDepth)) << x;
        }
    }
}

// With w changing along the span, the trimmed span must still pair each pixel with its own w (the
// w array keeps the untrimmed span's values) and its own colour.
TEST(SpanDraw, TrimKeepsEachPixelsOwnW) {
    for (bool sse : {false, true}) {
        const SpanResult trimmed = DrawTestSpan(sse, true, 0.25f);
        const SpanResult untrimmed = DrawTestSpan(sse, false, 0.25f);
        EXPECT_EQ(trimmed.spanTrim, 4) << sse;
        EXPECT_EQ(trimmed.color, untrimmed.color) << sse;
        EXPECT_EQ(trimmed.depth, untrimmed.depth) << sse;
        EXPECT_NE(trimmed.depth[kStart + 6], trimmed.depth[kStart + 7]) << sse;
        EXPECT_NE(trimmed.color[kStart + 6], trimmed.color[kStart + 7]) << sse;
    }
}

// A 16 x 16 texture whose texels all differ, bound to stage 0 as the stage compilation binds level 0.
struct StageTexture {
    std::vector<Color32> texels = std::vector<Color32>(16 * 16);

    StageTexture() {
        for (std::size_t i = 0; i < texels.size(); ++i) texels[i] = 0xFF000000u | static_cast<Color32>(i * 0x010307u);
    }
    void Bind() const {
        StageSampling& s = g_spanContext.sampling[0];
        for (int k = 0; k < 4; ++k) {
            s.width[k] = 16.0f;
            s.height[k] = 16.0f;
            s.columnMask[k] = 15;
            s.rowMask[k] = 15 * 16;
            s.one[k] = 1;
            s.rowLength[k] = 16;
            s.zero[k] = 0;
            s.log2Width[k] = k == 0 ? 4 : 0;
        }
        s.pixels = texels.data();
    }
};

// The span above with w changing along it, its colour modulated by stage 0's texels: point sampled
// or bilinear, u and v (x rhw) stepping by fractions of a texel.
SpanResult DrawTexturedSpan(bool sse, bool trim, bool bilinear) {
    static const StageTexture texture;
    ResetSpanContext(sse);
    SpanContext& c = g_spanContext;
    c.depthTrimEnable = trim ? 1 : 0;
    SpanTarget target(kWidth, 1);
    PrepareSpan(target, 0.25f);
    texture.Bind();
    c.interpolateTex[0] = 1;
    c.stageFetch[0] = bilinear ? BilinearFetchRoutine(0, sse) : PointFetchRoutine(0, sse);
    c.stageOp[0] = ColorOpRoutine(TOP_MODULATE, sse);
    c.stageArg1Base[0] = c.texelArray;
    c.stageArg2Base[0] = c.diffuseArray;
    for (int j = 0; j < 4; ++j) {
        c.diffuseStart[CH_G][j] = c.diffuseStart[CH_B][j] = 127.5f;
        c.texStart[0][0][j] = 0.3f + 0.37f * static_cast<float>(j);
        c.texStart[0][1][j] = 0.2f + 0.23f * static_cast<float>(j);
        c.texStep4[0][0][j] = 4 * 0.37f;
        c.texStep4[0][1][j] = 4 * 0.23f;
    }
    DrawRounding rounding(sse);
    DrawSpan();
    return {target.Colors(), target.Depths(), g_spanContext.spanStart, g_spanContext.spanTrim};
}

// A texture stage behind the depth trim fetches, at every pixel it writes, the texel the untrimmed
// span fetches there: its coordinates start where the trim moved the span's start, and its w is the
// pixel's own.
TEST(SpanDraw, TrimmedSpanFetchesTheUntrimmedSpansTexels) {
    for (bool sse : {false, true}) {
        for (bool bilinear : {false, true}) {
            SCOPED_TRACE(::testing::Message() << (bilinear ? "bilinear" : "point") << (sse ? " sse" : " scalar"));
            const SpanResult trimmed = DrawTexturedSpan(sse, true, bilinear);
            const SpanResult untrimmed = DrawTexturedSpan(sse, false, bilinear);
            EXPECT_EQ(trimmed.spanTrim, 4);
            EXPECT_EQ(trimmed.color, untrimmed.color);
            EXPECT_EQ(trimmed.depth, untrimmed.depth);
            for (int x = kStart + 5; x + 1 < kEnd; ++x) EXPECT_NE(trimmed.color[x], trimmed.color[x + 1]) << x;
        }
    }
}

TEST(SpanDraw, HiddenSpanWritesNothingButCounts) {
    for (bool sse : {false, true}) {
        ResetSpanContext(sse);
        SpanTarget target(kWidth, 1, kBackground, 1.0f);
        PrepareSpan(target);
        g_spanContext.roundedPixelTotal = 1;
        DrawRounding rounding(sse);
        DrawSpan();
        EXPECT_EQ(target.Coverage(), std::vector<std::string>{std::string(kWidth, '.')});
        EXPECT_EQ(g_spanContext.spanCount, 1u);
        EXPECT_EQ(g_spanContext.pixelTotal, 12u);
        EXPECT_EQ(g_spanContext.roundedPixelTotal, 16u);  // 1 + 12 + 3, bit 1 cleared
        // An empty span counts as a call and nothing else.
        target.SetSpan(0, 5, 5);
        DrawSpan();
        EXPECT_EQ(g_spanContext.spanCount, 2u);
        EXPECT_EQ(g_spanContext.pixelTotal, 12u);
    }
}

// The far bound's fog scale (zero) makes the fog coordinate of an ordinary depth exactly 1, so k = 0.
TEST(SpanDraw, FogAtOrdinaryDepthKeepsColours) {
    for (bool sse : {false, true}) {
        const SpanResult plain = DrawTestSpan(sse, true);
        ResetSpanContext(sse);
        g_spanContext.fogEnable = 1;
        for (std::uint16_t& word : g_spanContext.fogColor) word = 0xFF;
        SpanTarget target(kWidth, 1);
        PrepareSpan(target);
        DrawRounding rounding(sse);
        DrawSpan();
        EXPECT_EQ(target.Colors(), plain.color) << sse;
        EXPECT_EQ(g_spanContext.fogArray[0], 1.0f);
    }
}

// A span reaching the right end of a 5000-pixel row keeps its first 4096 pixels.
TEST(SpanDraw, LongSpanIsCutTo4096Pixels) {
    for (bool sse : {false, true}) {
        ResetSpanContext(sse);
        SpanTarget target(5000, 1);
        target.SetSpan(0, 100, 5000);
        for (int j = 0; j < 4; ++j) {
            g_spanContext.rhwStart[j] = 1.0f;
            g_spanContext.flatColor[j] = 0xFF123456;
        }
        DrawRounding rounding(sse);
        DrawSpan();
        EXPECT_EQ(g_spanContext.spanEnd, 100 + 4096);
        EXPECT_EQ(g_spanContext.spanLength, 4096);
        EXPECT_EQ(target.Pixel(99, 0), kBackground);
        EXPECT_EQ(target.Pixel(100, 0), 0xFF123456u);
        EXPECT_EQ(target.Pixel(4195, 0), 0xFF123456u);
        EXPECT_EQ(target.Pixel(4196, 0), kBackground);
    }
}

}  // namespace
