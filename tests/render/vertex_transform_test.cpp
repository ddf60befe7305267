#include "render/flat_colors.h"
#include "render/vertex_transform.h"

#include <limits>

#include <gtest/gtest.h>

#include "vertex_test_support.h"

namespace {

Matrix4 Rows(std::initializer_list<std::initializer_list<float>> rows) {
    Matrix4 m{};
    int r = 0;
    for (auto row : rows) {
        int c = 0;
        for (float v : row) m.m[r][c++] = v;
        ++r;
    }
    return m;
}

void ExpectMatrixEq(const Matrix4& actual, const Matrix4& expected, const char* what) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(actual.m[r][c], expected.m[r][c]) << what << " [" << r << "][" << c << "]";
}

void ExpectLaneCopy(const LaneMatrix& lanes, const Matrix4& m, const char* what) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int l = 0; l < kBatchLanes; ++l)
                EXPECT_EQ(lanes.m[r][c].lane[l], m.m[r][c]) << what << " [" << r << "][" << c << "] lane " << l;
}

TEST(CompositeMatricesTest, EachCompositeIsWorldViewProjectionViewportMultipliedOut) {
    auto device = MakeDevice();
    device->SetTransform(TS_WORLD0, Rows({{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 2, 3, 1}}));
    device->SetTransform(TS_WORLD0 + 1, Rows({{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}));
    device->SetTransform(TS_WORLD0 + 2, Rows({{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 1}}));
    device->SetTransform(TS_WORLD0 + 3, Rows({{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 5, 1}}));
    device->SetTransform(TS_VIEW, Rows({{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 2, 0}, {0, 0, 4, 1}}));
    device->SetTransform(TS_PROJECTION, Rows({{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 1}, {0, 0, -1, 0}}));
    device->SetTransform(TS_TEXTURE0 + 2, Rows({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}}));
    device->viewportMatrix = Rows({{160, 0, 0, 0}, {0, -120, 0, 0}, {0, 0, 1, 0}, {159.5f, 119.5f, 0, 1}});
    device->PrepareTransforms();
    EXPECT_EQ(device->transformsDirty, 0u);

    // Multiplied out by hand. World x View x Projection:
    //   W0: rows (2,0,0,0) (0,2,0,0) (0,0,2,2) (2,4,9,10)
    //   W1: rows (0,2,0,0) (-2,0,0,0) (0,0,2,2) (0,0,3,4)
    //   W2: rows (4,0,0,0) (0,4,0,0) (0,0,4,4) (0,0,3,4)
    //   W3: rows (2,0,0,0) (0,2,0,0) (0,0,2,2) (0,0,13,14)
    // then x viewport: column 0 = 160 x + 159.5 w, column 1 = -120 y + 119.5 w, column 2 = z, column 3 = w.
    const Matrix4 expected[4] = {
        Rows({{320, 0, 0, 0}, {0, -240, 0, 0}, {319, 239, 2, 2}, {1915, 715, 9, 10}}),
        Rows({{0, -240, 0, 0}, {-320, 0, 0, 0}, {319, 239, 2, 2}, {638, 478, 3, 4}}),
        Rows({{640, 0, 0, 0}, {0, -480, 0, 0}, {638, 478, 4, 4}, {638, 478, 3, 4}}),
        Rows({{320, 0, 0, 0}, {0, -240, 0, 0}, {319, 239, 2, 2}, {2233, 1673, 13, 14}}),
    };
    const char* names[4] = {"C0", "C1", "C2", "C3"};
    for (int i = 0; i < 4; ++i) {
        ExpectMatrixEq(device->composite[i], expected[i], names[i]);
        ExpectLaneCopy(device->laneComposite[i], expected[i], names[i]);
    }

    // Nothing is rebuilt while the flag stays clear.
    device->world[0].m[3][0] = 99;
    device->PrepareTransforms();
    EXPECT_EQ(device->composite[0].m[3][0], 1915.0f);
}

// A batch whose lane l of corner k sits at (k + l, 2k - l, 0.5 l + 1).
void FillPositions(VertexBatch& batch) {
    for (int k = 0; k < 3; ++k) {
        for (int l = 0; l < kBatchLanes; ++l) {
            batch.corner[k].x.lane[l] = static_cast<float>(k + l);
            batch.corner[k].y.lane[l] = static_cast<float>(2 * k - l);
            batch.corner[k].z.lane[l] = 0.5f * l + 1.0f;
        }
    }
}

void Transform(RenderDevice& device, VertexBatch& batch, bool sse) {
    ScopedRoundingMode mode(PathRounding(sse));
    if (sse)
        TransformBatchSse(device, batch);
    else
        TransformBatchScalar(device, batch);
}

TEST(VertexTransformTest, PositionsTransformByC0OnBothPaths) {
    auto device = MakeDevice();
    device->viewportMatrix.Identity();
    device->SetTransform(TS_WORLD0, Rows({{1, 2, 0, 0}, {0, 1, 0, 0}, {0, 0, 3, 1}, {5, 6, 7, 1}}));
    device->PrepareTransforms();
    for (bool sse : {false, true}) {
        SCOPED_TRACE(sse ? "sse" : "scalar");
        alignas(16) VertexBatch batch;
        FillBatch(batch, 0.0f);
        FillPositions(batch);
        Transform(*device, batch, sse);
        for (int k = 0; k < 3; ++k) {
            for (int l = 0; l < kBatchLanes; ++l) {
                const float x = k + l, y = 2 * k - l, z = 0.5f * l + 1;
                const VertexSlot& c = batch.corner[k];
                EXPECT_EQ(c.X.lane[l], x + 5);
                EXPECT_EQ(c.Y.lane[l], 2 * x + y + 6);
                EXPECT_EQ(c.Z.lane[l], 3 * z + 7);
                EXPECT_EQ(c.W.lane[l], z + 1);
            }
        }
    }
}

// Blending with world matrices that move (1, 2, 3) to C0: (11, 2, 3, 1), C1: (1, 22, 3, 1),
// C2: (1, 2, 33, 1), C3: (2, 4, 6, 2); view, projection and viewport are identities. Weights are
// quarters and halves, so every product and sum is exact in any rounding mode.
struct BlendCase {
    std::uint32_t vertexBlend;
    float w1, w2, w3;
    float X, Y, Z, W;
};

TEST(VertexTransformTest, BlendingWeighsEachCompositeAndGivesTheRestToTheLast) {
    const BlendCase cases[] = {
        {0, 0.25f, 0.5f, 0.25f, 11, 2, 3, 1},                   // no blending: C0 alone
        {255, 0.25f, 0.5f, 0.25f, 11, 2, 3, 1},                 // tweening, not blending
        {1, 0.25f, 0.5f, 0.25f, 3.5f, 17, 3, 1},                // 0.25 C0 + 0.75 C1
        {2, 0.25f, 0.5f, 0.25f, 3.5f, 12, 10.5f, 1},            // 0.25 C0 + 0.5 C1 + 0.25 C2
        {3, 0.25f, 0.25f, 0.25f, 3.75f, 7.5f, 11.25f, 1.25f},   // a quarter of each, W blended too
        {1, 1.0f, 0.0f, 0.0f, 11, 2, 3, 1},                     // all weight on C0
        {3, 0.0f, 0.0f, 0.0f, 2, 4, 6, 2},                      // all weight on C3
    };
    auto device = MakeDevice();
    device->viewportMatrix.Identity();
    device->SetTransform(TS_WORLD0, Rows({{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {10, 0, 0, 1}}));
    device->SetTransform(TS_WORLD0 + 1, Rows({{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 20, 0, 1}}));
    device->SetTransform(TS_WORLD0 + 2, Rows({{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 30, 1}}));
    device->SetTransform(TS_WORLD0 + 3, Rows({{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 2}}));
    device->PrepareTransforms();
    for (const BlendCase& t : cases) {
        device->SetRenderState(RS_VERTEXBLEND, t.vertexBlend);
        for (bool sse : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "blend " << t.vertexBlend << " w1 " << t.w1 << (sse ? " sse" : " scalar"));
            alignas(16) VertexBatch batch;
            FillBatch(batch, 0.0f);
            for (VertexSlot& c : batch.corner) {
                for (int l = 0; l < kBatchLanes; ++l) {
                    c.x.lane[l] = 1;
                    c.y.lane[l] = 2;
                    c.z.lane[l] = 3;
                    c.w1.lane[l] = t.w1;
                    c.w2.lane[l] = t.w2;
                    c.w3.lane[l] = t.w3;
                }
            }
            Transform(*device, batch, sse);
            for (const VertexSlot& c : batch.corner) {
                for (int l = 0; l < kBatchLanes; ++l) {
                    EXPECT_EQ(c.X.lane[l], t.X);
                    EXPECT_EQ(c.Y.lane[l], t.Y);
                    EXPECT_EQ(c.Z.lane[l], t.Z);
                    EXPECT_EQ(c.W.lane[l], t.W);
                }
            }
            if (t.vertexBlend == 1) {  // the position by C1 stays in the first blend group
                EXPECT_EQ(batch.corner[1].blend[0][1].lane[2], 22.0f);
                EXPECT_EQ(batch.corner[1].blend[1][1].lane[2], 0.0f);
            }
        }
    }
}

// The scalar form forms each output's extended-precision sum and rounds it once, as the matrix
// product does; the SSE form rounds every product and sum. With X = x + y - z and lane l at
// x = z = 1e8, y = l + 1, single rounding keeps l + 1, while float steps first round 1e8 + y back
// to 1e8. Blending's weighted sum takes the same single rounding: 0.5 C0 + 0.5 C1 + 0.25 C2 +
// (-0.25) C3 of (1e8, y, -1e8, 0) x 2 gives y again.
TEST(VertexTransformTest, ScalarFormRoundsEachSumOnceTheSseFormEachStep) {
    auto device = MakeDevice();
    device->viewportMatrix.Identity();
    const Matrix4 sumXYminusZ = Rows({{1, 0, 0, 0}, {1, 0, 0, 0}, {-1, 0, 0, 0}, {0, 0, 0, 1}});
    device->SetTransform(TS_WORLD0, sumXYminusZ);
    device->SetTransform(TS_WORLD0 + 1, Rows({{0, 0, 0, 0}, {2, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 1}}));
    device->SetTransform(TS_WORLD0 + 2, Rows({{0, 0, 0, 0}, {0, 0, 0, 0}, {-4, 0, 0, 0}, {0, 0, 0, 1}}));
    device->SetTransform(TS_WORLD0 + 3, Rows({{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 1}}));
    for (std::uint32_t blend : {0u, 3u}) {
        device->SetRenderState(RS_VERTEXBLEND, blend);
        // Without blending C0 gives x + y - z; blended, C0 is scaled so that 0.5 C0 gives 1e8 + 0.5 y.
        device->SetTransform(TS_WORLD0, blend == 0 ? sumXYminusZ : Rows({{2, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 1}}));
        device->PrepareTransforms();
        for (bool sse : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "blend " << blend << (sse ? " sse" : " scalar"));
            alignas(16) VertexBatch batch;
            FillBatch(batch, 0.0f);
            for (VertexSlot& c : batch.corner) {
                for (int l = 0; l < kBatchLanes; ++l) {
                    c.x.lane[l] = 1e8f;
                    c.y.lane[l] = static_cast<float>(l + 1);
                    c.z.lane[l] = 1e8f;
                    c.w1.lane[l] = 0.5f;
                    c.w2.lane[l] = 0.5f;
                    c.w3.lane[l] = 0.25f;
                }
            }
            Transform(*device, batch, sse);
            for (int k = 0; k < 3; ++k)
                for (int l = 0; l < kBatchLanes; ++l)
                    EXPECT_EQ(batch.corner[k].X.lane[l], sse ? 0.0f : static_cast<float>(l + 1)) << "corner " << k << " lane " << l;
        }
    }
}

struct FlatCase {
    float a, r, g, b;
    Color32 packed;
};

TEST(FlatColorsTest, ChannelsAreTruncatedToTheirLowByteOnBothPathsAlike) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const FlatCase cases[] = {
        {255.0f, 128.9f, 0.0f, 64.5f, 0xFF800040u},  // fractions are cut off
        {0.99f, 1.0f, 254.999f, 255.0f, 0x0001FEFFu},
        {256.0f, 511.0f, -1.0f, -0.5f, 0x00FFFF00u},  // low eight bits of 256, 511, -1 and -0 (trunc)
        {nan, inf, -inf, 3e9f, 0x00000000u},          // undefined conversions give 0x80000000, low byte 0
    };
    for (const FlatCase& t : cases) {
        alignas(16) VertexBatch batch;
        FillBatch(batch, 1.0f);
        for (int l = 0; l < kBatchLanes; ++l) {
            batch.corner[0].diffuse[CH_A].lane[l] = t.a;
            batch.corner[0].diffuse[CH_R].lane[l] = t.r;
            batch.corner[0].diffuse[CH_G].lane[l] = t.g;
            batch.corner[0].diffuse[CH_B].lane[l] = l == 3 ? 7.0f : t.b;  // lanes are packed separately
        }
        Color32 scalar[kBatchLanes], sse[kBatchLanes];
        PackFlatColorsScalar(batch, scalar);
        PackFlatColorsSse(batch, sse);
        for (int l = 0; l < kBatchLanes; ++l) {
            const Color32 expected = l == 3 ? (t.packed & 0xFFFFFF00u) | 7u : t.packed;
            EXPECT_EQ(scalar[l], expected) << std::hex << t.packed << " lane " << l;
            EXPECT_EQ(sse[l], expected) << std::hex << t.packed << " lane " << l;
        }
    }
}

}  // namespace
