// The per-span colour stages called directly: Gouraud packing with its clamp, fog factors, alpha
// blending (32-bit and 16-bit targets), and w with its fog coordinate.
#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "scan_test_support.h"

namespace {

// Points every end pointer at a span of `length` pixels from column 0 of row 0.
void SetSpanLength(SpanTarget& target, int length) {
    SpanContext& c = g_spanContext;
    target.SetSpan(0, 0, length);
    c.spanLength = length;
    c.wEnd = c.wArray + length;
    c.fogEnd = c.fogArray + length;
    c.diffuseEnd = c.diffuseArray + length;
    c.currentEnd = c.currentArray + length;
    c.colorEnd = c.colorRow + length * c.colorBytesPerPixel;
    c.depthEnd = c.depthRow + length * 4;
}

// Per pixel (A, R, G, B) starts at w = 1, one NaN w, and a second group reached by the blue step.
// The scalar path rounds to nearest (ties to even), the SSE path down; both clamp to 0..255 before
// converting, so 1e10 gives 255 and NaN gives 0.
TEST(SpanColor, GouraudConvertsInThePathsRoundingAndClamps) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float starts[4][4] = {
        {300, 11.5f, 50, 128},      // A of pixels 0-3
        {-5, 0.4f, 50, 64.7f},      // R
        {255.6f, 1e10f, 50, 1.2f},  // G
        {10.5f, -1e10f, 50, 254.99f},  // B
    };
    const Color32 scalarExpected[8] = {0xFF00FF0A, 0x0C00FF00, 0, 0x804101FF,
                                       0xFF00FF6E, 0x0C00FF00, 0x32323296, 0x804101FF};
    const Color32 sseExpected[8] = {0xFF00FF0A, 0x0B00FF00, 0, 0x804001FE,
                                    0xFF00FF6E, 0x0B00FF00, 0x32323296, 0x804001FF};
    for (bool sse : {false, true}) {
        ResetSpanContext(sse);
        SpanTarget target(8, 1);
        SpanContext& c = g_spanContext;
        SetSpanLength(target, 8);
        for (int k = 0; k < 8; ++k) c.wArray[k] = k == 2 ? nan : 1.0f;
        for (int ch = 0; ch < 4; ++ch)
            for (int j = 0; j < 4; ++j) {
                c.diffuseStart[ch][j] = starts[ch][j];
                c.diffuseStep4[ch][j] = ch == CH_B ? 100.0f : 0.0f;
            }
        DrawRounding rounding(sse);
        ShadeSpanGouraud();
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(c.diffuseArray[k], (sse ? sseExpected : scalarExpected)[k]) << "pixel " << k << " sse " << sse;
    }
}

float FogCoordinate(std::uint32_t mantissaTop8) {
    const std::uint32_t bits = 0x3F800000u | mantissaTop8 << 15;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// k = ((m x 16)² >> 16) for the top mantissa byte m of each group's first fog coordinate: m = 0 gives
// 0, m = 0x80 gives 64, m = 0xFF gives 254. Fog colour words are B 0x10, G 0x20, R 0x30, A 0x40.
TEST(SpanColor, FogFactorComesFromEachGroupsFirstPixel) {
    struct Group {
        float first, others;
        Color32 in, out;
    };
    const Group groups[] = {
        {FogCoordinate(0), FogCoordinate(0x80), 0x80C0E0F0, 0x80C0E0F0},
        {FogCoordinate(0x80), FogCoordinate(0), 0x80C0E0F0, 0x709CB0B8},
        {FogCoordinate(0xFF), FogCoordinate(0xFF), 0xFFFFFFFF, 0x3F2F1F0F + 0x01010101},
        {FogCoordinate(0xFF), 1.0f, 0x00000000, 0x3F2F1F0F},
    };
    for (bool sse : {false, true}) {
        ResetSpanContext(sse);
        SpanTarget target(16, 1);
        SpanContext& c = g_spanContext;
        const std::uint16_t fog[4] = {0x10, 0x20, 0x30, 0x40};
        std::memcpy(c.fogColor, fog, sizeof fog);
        SetSpanLength(target, 15);  // the last group is three pixels long
        for (int g = 0; g < 4; ++g)
            for (int j = 0; j < 4; ++j) {
                c.fogArray[4 * g + j] = j == 0 ? groups[g].first : groups[g].others;
                c.currentArray[4 * g + j] = groups[g].in;
            }
        FogSpan();
        for (int k = 0; k < 15; ++k) EXPECT_EQ(c.currentArray[k], groups[k / 4].out) << "pixel " << k << " sse " << sse;
    }
}

struct BlendCase {
    Color32 source, destination, expected;
};

// Each channel, alpha included: ((a x src) >> 8) + (((256 - a) x dst) >> 8) with a the source alpha.
const BlendCase kBlendCases[] = {
    {0x80FF0000, 0xFF0000FF, 0xBF7F007F},
    {0xFF102030, 0x00FFFFFF, 0xFE0F1F2F},
    {0x00FFFFFF, 0x80402010, 0x80402010},
    {0x40FFFFFF, 0xFFFFFFFF, 0xCFFEFEFE},
    {0xFFFFFFFF, 0xFFFFFFFF, 0xFEFEFEFE},
};

// Spans of every length from 1 to 9 end at the last pixel of the target, so the sanitizer sees any
// read of the destination past the span.
TEST(SpanColor, BlendOver32BitTarget) {
    for (bool sse : {false, true}) {
        for (int length = 1; length <= 9; ++length) {
            ResetSpanContext(sse);
            std::vector<Color32> expected(length);
            SpanTarget target(length, 1);
            for (int k = 0; k < length; ++k) {
                const BlendCase& bc = kBlendCases[k % 5];
                target.Colors()[k] = bc.destination;
                g_spanContext.currentArray[k] = bc.source;
                expected[k] = bc.expected;
            }
            SetSpanLength(target, length);
            BlendSpan();
            EXPECT_EQ(std::vector<Color32>(g_spanContext.currentArray, g_spanContext.currentArray + length), expected)
                << "length " << length << " sse " << sse;
            EXPECT_EQ(target.Colors()[0], kBlendCases[0].destination) << "the target itself is not written";
        }
    }
}

// A 16-bit target is read in its own format (R5G6B5 0xF800 is red 0xF8 with alpha 0), never as
// 32-bit pixels, which would read twice the span's bytes.
TEST(SpanColor, BlendOver16BitTargetReadsItsOwnPixels) {
    for (bool sse : {false, true}) {
        ResetSpanContext(sse);
        SpanTarget depthOnly(8, 1);
        std::vector<std::uint16_t> row(8, 0xF800);
        SpanContext& c = g_spanContext;
        c.target.format = R5G6B5;
        c.target.bits = reinterpret_cast<std::uint8_t*>(row.data());
        c.colorPitch = 16;
        c.colorBytesPerPixel = 2;
        for (int k = 0; k < 8; ++k) c.currentArray[k] = 0x800000FF;
        SetSpanLength(depthOnly, 8);
        BlendSpan();
        for (int k = 0; k < 8; ++k) EXPECT_EQ(c.currentArray[k], 0x407C007Fu) << k << " sse " << sse;
    }
}

// w = 1 / rhw and, with fog on, fog = w x fogScale + 1 per pixel; the SSE form's sixteen-pixel
// steps give the same values as the scalar form's four-pixel steps for every span length.
TEST(SpanColor, SpanWOnBothFormsForEveryLength) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> rhw(0.01f, 4.0f);
    for (int length = 1; length <= 40; ++length) {
        std::vector<float> w[2], fog[2];
        float start[4], step[4];
        for (int j = 0; j < 4; ++j) {
            start[j] = rhw(random);
            step[j] = rhw(random) * 0.01f;
        }
        for (bool sse : {false, true}) {
            ResetSpanContext(sse);
            SpanTarget target(length, 1);
            SpanContext& c = g_spanContext;
            c.fogEnable = 1;
            for (int j = 0; j < 4; ++j) {
                c.rhwStart[j] = start[j];
                c.rhwStep4[j] = step[j];
                c.fogScale[j] = 0.5f;
            }
            SetSpanLength(target, length);
            ComputeSpanW();
            w[sse].assign(c.wArray, c.wArray + length);
            fog[sse].assign(c.fogArray, c.fogArray + length);
        }
        EXPECT_EQ(w[0], w[1]) << length;
        EXPECT_EQ(fog[0], fog[1]) << length;
        const int last = length - 1;
        float r = start[last % 4];
        for (int g = 0; g < last / 4; ++g) r += step[last % 4];
        EXPECT_EQ(w[1][last], 1.0f / r) << length;
    }
    // Exact values: w 1, 2, 4, 8 and fog 1.5, 2, 3, 5 with fogScale 0.5.
    for (bool sse : {false, true}) {
        ResetSpanContext(sse);
        SpanTarget target(4, 1);
        SpanContext& c = g_spanContext;
        c.fogEnable = 1;
        const float r[4] = {1, 0.5f, 0.25f, 0.125f};
        for (int j = 0; j < 4; ++j) {
            c.rhwStart[j] = r[j];
            c.fogScale[j] = 0.5f;
        }
        SetSpanLength(target, 4);
        ComputeSpanW();
        EXPECT_EQ(std::vector<float>(c.wArray, c.wArray + 4), (std::vector<float>{1, 2, 4, 8}));
        EXPECT_EQ(std::vector<float>(c.fogArray, c.fogArray + 4), (std::vector<float>{1.5f, 2, 3, 5}));
    }
}

}  // namespace
