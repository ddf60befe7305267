#include "render/texel_fetch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "raster/span_context.h"
#include "vertex_test_support.h"

namespace {

// A power-of-two texture whose texel at (column, row) is column + 1000 x row unless filled
// otherwise.
struct TestTexture {
    int width, height;
    std::vector<Color32> pixels;

    TestTexture(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h) {
        for (int row = 0; row < h; ++row)
            for (int column = 0; column < w; ++column) At(column, row) = column + 1000u * row;
    }
    Color32& At(int column, int row) {
        return pixels[static_cast<std::size_t>(row) * width + column];
    }
    void Bind(int stage) const {
        StageSampling& s = g_spanContext.sampling[stage];
        for (int k = 0; k < 4; ++k) {
            s.width[k] = static_cast<float>(width);
            s.height[k] = static_cast<float>(height);
            s.columnMask[k] = width - 1;
            s.rowMask[k] = (height - 1) * width;
            s.one[k] = 1;
            s.rowLength[k] = width;
            s.zero[k] = 0;
            s.log2Width[k] = 0;
        }
        while ((1 << s.log2Width[0]) < width) ++s.log2Width[0];
        s.pixels = pixels.data();
    }
};

// A span of `length` pixels whose pixel k samples (u0 + k du, v0 + k dv) in texels, with w = 4
// (rhw 0.25, both exact) so that the perspective products are exact.
void PrepareSpan(int stage, int length, float u0, float v0, float du = 0.0f, float dv = 0.0f) {
    SpanContext& c = g_spanContext;
    c.spanStart = 100;
    c.spanEnd = 100 + length;
    c.spanLength = length;
    c.wEnd = c.wArray + length;
    c.texelEnd = c.texelArray + length;
    for (int k = 0; k < kSpanArrayLength; ++k) c.wArray[k] = 4.0f;
    for (int k = 0; k < 4; ++k) {
        c.texStart[stage][0][k] = (u0 + k * du) * 0.25f;
        c.texStart[stage][1][k] = (v0 + k * dv) * 0.25f;
        c.texStep4[stage][0][k] = 4 * du * 0.25f;
        c.texStep4[stage][1][k] = 4 * dv * 0.25f;
    }
}

struct PointCase {
    int width, height;
    float u, v;
    int columnNearest, rowNearest;  // round to nearest
    int columnDown, rowDown;        // round toward negative infinity
};

const PointCase kPointCases[] = {
    {8, 8, 8.25f, 0.0f, 0, 0, 0, 0},       // wraps past the right edge to column 0
    {8, 8, 0.6f, 0.0f, 1, 0, 0, 0},        // the rounding mode decides
    {8, 8, -0.25f, 2.0f, 0, 2, 7, 2},      // left of column 0 wraps to the last column
    {64, 32, 3.0f, 5.4f, 3, 5, 3, 5},      // rows are 64 texels apart
    {64, 32, 63.0f, 33.0f, 63, 1, 63, 1},  // row 33 wraps to row 1
    {64, 32, 70.0f, -1.0f, 6, 31, 6, 31},  // row -1 wraps to row 31
    {64, 32, 1.5f, 31.5f, 2, 31, 1, 31},   // ties go to even; V = 2016 is a whole texel
    {64, 32, 0.0f, 0.9999f, 0, 1, 0, 0},   // V = 63.99: the row follows the rounding too
    {1, 1, 12.7f, -3.3f, 0, 0, 0, 0},      // one texel
};

// Point sampling over nine pixels stepping two texels per pixel (so halves stay halves), both
// forms, both rounding modes, on every stage (each stage reads its own sampling block; the others
// hold another texture).
TEST(TexelFetch, PointSamplingWrapsAndFollowsTheRoundingMode) {
    SpanContext& c = g_spanContext;
    const TestTexture decoy(2, 2);
    for (const PointCase& pc : kPointCases) {
        const TestTexture texture(pc.width, pc.height);
        for (int stage = 0; stage < kTextureStages; ++stage) {
            for (int s = 0; s < kTextureStages; ++s) (s == stage ? texture : decoy).Bind(s);
            for (bool down : {false, true}) {
                const ScopedRoundingMode mode(down ? RoundingMode::Down : RoundingMode::Nearest);
                for (bool sse : {false, true}) {
                    PrepareSpan(stage, 9, pc.u, pc.v, 2.0f, 0.0f);
                    PointFetchRoutine(stage, sse)();
                    for (int k = 0; k < 9; ++k) {
                        const int column =
                            ((down ? pc.columnDown : pc.columnNearest) + 2 * k) & (pc.width - 1);
                        const int row = down ? pc.rowDown : pc.rowNearest;
                        EXPECT_EQ(c.texelArray[k], column + 1000u * row)
                            << "u " << pc.u << " v " << pc.v << " pixel " << k << " stage " << stage
                            << " sse " << sse << " down " << down;
                    }
                }
            }
        }
    }
}

struct BilinearCase {
    float u, v;
    Color32 expected;
};

// On a 4 x 4 texture whose four corners of the sampled square are pure alpha (t00), red (t10),
// green (t11) and blue (t01): each channel is 255 x weight >> 8, that is the weight less one.
TEST(TexelFetch, BilinearWeightsAndEdgeWrapping) {
    SpanContext& c = g_spanContext;
    const BilinearCase cases[] = {
        {1.0f, 1.0f, 0xFD000001},   // fu = fv = 0: weights 254, 0, 0, 2
        {1.5f, 1.0f, 0x7D7E0002},   // fu = 128: 126, 127, 0, 3
        {1.5f, 1.5f, 0x3E3E3F41},   // fu = fv = 128: 63, 63, 64, 66
        {1.0f, 1.75f, 0x3D0000C1},  // fv = 192: 62, 0, 0, 194
    };
    for (int stage : {0, 3}) {
        for (bool sse : {false, true}) {
            for (bool down : {false, true}) {
                const ScopedRoundingMode mode(down ? RoundingMode::Down : RoundingMode::Nearest);
                // Inside the texture: the square (1, 1)-(2, 2); at the edges: (3, 3)-(0, 0).
                for (int origin : {1, 3}) {
                    TestTexture texture(4, 4);
                    const int next = (origin + 1) & 3;
                    texture.At(origin, origin) = 0xFF000000;
                    texture.At(next, origin) = 0x00FF0000;
                    texture.At(next, next) = 0x0000FF00;
                    texture.At(origin, next) = 0x000000FF;
                    texture.Bind(stage);
                    for (const BilinearCase& bc : cases) {
                        const float shift = static_cast<float>(origin - 1);
                        PrepareSpan(stage, 5, bc.u + shift, bc.v + shift);
                        BilinearFetchRoutine(stage, sse)();
                        for (int k = 0; k < 5; ++k) {
                            EXPECT_EQ(c.texelArray[k], bc.expected)
                                << std::hex << "u " << bc.u << " v " << bc.v << " origin " << origin
                                << " sse " << sse << " pixel " << k;
                        }
                    }
                }
            }
        }
    }
}

// A 1 x 1 texture: every sample is its one texel, whatever the coordinates.
TEST(TexelFetch, OneByOneTexture) {
    SpanContext& c = g_spanContext;
    TestTexture texture(1, 1);
    texture.At(0, 0) = 0x80808080;
    texture.Bind(1);
    for (bool sse : {false, true}) {
        PrepareSpan(1, 7, -5.3f, 9.9f, 0.37f, -1.1f);
        PointFetchRoutine(1, sse)();
        for (int k = 0; k < 7; ++k) EXPECT_EQ(c.texelArray[k], 0x80808080u) << "sse " << sse;
        PrepareSpan(1, 7, 2.0f, 2.0f);  // fu = fv = 0: 128 x 254 >> 8 + 128 x 2 >> 8
        BilinearFetchRoutine(1, sse)();
        for (int k = 0; k < 7; ++k) EXPECT_EQ(c.texelArray[k], 0x80808080u) << "sse " << sse;
    }
}

// NaN, infinite and huge coordinates convert to 0x80000000, which the masks turn into column 0
// and row 0 (for bilinear: t00 = (0, 0) with weight 254, t01 = (0, 1) with weight 2).
TEST(TexelFetch, NonFiniteCoordinatesSampleTheFirstTexel) {
    SpanContext& c = g_spanContext;
    TestTexture texture(16, 8);
    for (Color32& p : texture.pixels) p = 0;
    texture.At(0, 0) = 0xFFFFFFFF;
    texture.At(0, 1) = 0x80808080;
    texture.Bind(2);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float coordinates[][2] = {
        {nan, nan}, {inf, -inf}, {-inf, inf}, {3e9f, -3e9f}, {1e30f, nan}};
    for (bool sse : {false, true}) {
        for (const auto& uv : coordinates) {
            PrepareSpan(2, 6, uv[0], uv[1]);
            PointFetchRoutine(2, sse)();
            for (int k = 0; k < 6; ++k) EXPECT_EQ(c.texelArray[k], 0xFFFFFFFFu) << "sse " << sse;
            PrepareSpan(2, 6, uv[0], uv[1]);
            BilinearFetchRoutine(2, sse)();
            // 255 x 254 >> 8 + 128 x 2 >> 8 = 253 + 1.
            for (int k = 0; k < 6; ++k) EXPECT_EQ(c.texelArray[k], 0xFEFEFEFEu) << "sse " << sse;
        }
    }
}

// A sampling block that cannot be addressed safely (no pixels, W = 0, masks that do not match W)
// gives opaque white without reading; an empty span writes nothing.
TEST(TexelFetch, UnusableSamplingGivesOpaqueWhiteAndEmptySpansWriteNothing) {
    SpanContext& c = g_spanContext;
    TestTexture texture(8, 8);
    using Spoil = void (*)(StageSampling&);
    const Spoil spoilers[] = {
        [](StageSampling& s) { s.pixels = nullptr; },
        [](StageSampling& s) {
            // What a texture of zero size leaves: W = 0, so the column mask is all ones.
            for (int k = 0; k < 4; ++k) {
                s.width[k] = 0;
                s.rowLength[k] = 0;
                s.columnMask[k] = -1;
                s.rowMask[k] = 0;
            }
        },
        [](StageSampling& s) { s.columnMask[0] = 15; },
        [](StageSampling& s) { s.rowMask[0] = 65; },
        [](StageSampling& s) { s.rowMask[0] = -8; },
        [](StageSampling& s) {
            s.rowLength[0] = 6;
            s.columnMask[0] = 5;
        },
        [](StageSampling& s) { s.log2Width[0] = 40; },
    };
    for (bool sse : {false, true}) {
        for (Spoil spoil : spoilers) {
            for (bool bilinear : {false, true}) {
                texture.Bind(0);
                spoil(c.sampling[0]);
                PrepareSpan(0, 5, 1.0f, 1.0f);
                for (int k = 0; k < 8; ++k) c.texelArray[k] = 0x12345678;
                (bilinear ? BilinearFetchRoutine(0, sse) : PointFetchRoutine(0, sse))();
                for (int k = 0; k < 5; ++k) EXPECT_EQ(c.texelArray[k], 0xFFFFFFFFu);
            }
        }
        texture.Bind(0);
        for (bool bilinear : {false, true}) {
            PrepareSpan(0, 0, 1.0f, 1.0f);
            c.spanEnd = c.spanStart - 3;  // reversed too
            for (int k = 0; k < 8; ++k) c.texelArray[k] = 0x12345678;
            (bilinear ? BilinearFetchRoutine(0, sse) : PointFetchRoutine(0, sse))();
            for (int k = 0; k < 8; ++k) EXPECT_EQ(c.texelArray[k], 0x12345678u);
        }
    }
}

TEST(TexelFetch, StagesOutsideZeroToThreeFetchNothing) {
    for (bool sse : {false, true}) {
        for (int stage : {-1, 4, 1000}) {
            EXPECT_EQ(PointFetchRoutine(stage, sse), FetchNoTexels);
            EXPECT_EQ(BilinearFetchRoutine(stage, sse), FetchNoTexels);
        }
        for (int stage = 0; stage < kTextureStages; ++stage) {
            EXPECT_NE(PointFetchRoutine(stage, sse), PointFetchRoutine(stage, !sse));
            EXPECT_NE(BilinearFetchRoutine(stage, sse), BilinearFetchRoutine(stage, !sse));
        }
    }
}

// Random texture, coordinates (with perspective: w varies per pixel) and steps over long spans:
// both forms pick identical texels under each rounding mode.
TEST(TexelFetch, SseAndPlainFormsAgreeOnRandomSpans) {
    SpanContext& c = g_spanContext;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-300.0f, 300.0f);
    std::uniform_real_distribution<float> rhw(0.01f, 2.0f);
    TestTexture texture(64, 32);
    for (Color32& p : texture.pixels) p = random();
    texture.Bind(1);
    std::vector<Color32> plain(kSpanArrayLength);
    for (RoundingMode mode : {RoundingMode::Nearest, RoundingMode::Down}) {
        const ScopedRoundingMode scope(mode);
        for (int trial = 0; trial < 8; ++trial) {
            const int length = trial == 0 ? kSpanArrayLength : 1 + static_cast<int>(random() % 999);
            for (bool bilinear : {false, true}) {
                PrepareSpan(1, length, 0, 0);
                for (int k = 0; k < kSpanArrayLength; ++k) c.wArray[k] = 1.0f / rhw(random);
                for (int k = 0; k < 4; ++k) {
                    c.texStart[1][0][k] = coordinate(random);
                    c.texStart[1][1][k] = coordinate(random);
                }
                const float du = coordinate(random) * 0.01f, dv = coordinate(random) * 0.01f;
                for (int k = 0; k < 4; ++k) c.texStep4[1][0][k] = du, c.texStep4[1][1][k] = dv;
                for (bool sse : {false, true}) {
                    (bilinear ? BilinearFetchRoutine(1, sse) : PointFetchRoutine(1, sse))();
                    if (!sse) {
                        std::copy(c.texelArray, c.texelArray + length, plain.begin());
                        continue;
                    }
                    for (int k = 0; k < length; ++k) {
                        ASSERT_EQ(c.texelArray[k], plain[k])
                            << "pixel " << k << " bilinear " << bilinear << " mode " << static_cast<unsigned>(mode);
                    }
                }
            }
        }
    }
}

}  // namespace
