#include "render/math.h"

#include <cfenv>
#include <cmath>
#include <cstring>
#include <xmmintrin.h>

#include <gtest/gtest.h>

namespace {

Matrix4 Identity() {
    Matrix4 m;
    m.Identity();
    return m;
}

void ExpectRow(const Matrix4& m, int row, float a, float b, float c, float d) {
    EXPECT_FLOAT_EQ(m.m[row][0], a) << "row " << row;
    EXPECT_FLOAT_EQ(m.m[row][1], b) << "row " << row;
    EXPECT_FLOAT_EQ(m.m[row][2], c) << "row " << row;
    EXPECT_FLOAT_EQ(m.m[row][3], d) << "row " << row;
}

TEST(Vec3Test, DotLengthAndNormalize) {
    Vec3 a, b;
    a.Set(1.0f, 2.0f, 3.0f);
    b.Set(4.0f, -5.0f, 6.0f);
    EXPECT_EQ(a.Dot(b), 12.0f);

    Vec3 v;
    v.Set(3.0f, 4.0f, 12.0f);
    EXPECT_EQ(v.Length(), 13.0f);
    v.Normalize();
    EXPECT_FLOAT_EQ(v.x, 3.0f / 13.0f);
    EXPECT_FLOAT_EQ(v.y, 4.0f / 13.0f);
    EXPECT_FLOAT_EQ(v.z, 12.0f / 13.0f);
    EXPECT_NEAR(v.Length(), 1.0f, 1e-7f);
}

TEST(Vec3Test, DotSumsInExtendedPrecision) {
    // In float arithmetic 1e8 + 1 - 1e8 loses the 1; the extended sum keeps it.
    Vec3 a, b;
    a.Set(1.0f, 1.0f, 1e8f);
    b.Set(-1e8f, 1.0f, 1.0f);
    EXPECT_EQ(a.Dot(b), 1.0f);
}

TEST(Vec3Test, NormalizeOfZeroIsNotFinite) {
    Vec3 v;
    v.Set(0.0f, 0.0f, 0.0f);
    v.Normalize();
    EXPECT_FALSE(std::isfinite(v.x));
}

TEST(Matrix4Test, MultiplyComposesOnTheRightAndAllowsSelf) {
    Matrix4 a = Identity();
    a.Translate(1.0f, 2.0f, 3.0f);
    Matrix4 b = Identity();
    b.Scale(2.0f, 3.0f, 4.0f);
    a.Multiply(b);
    ExpectRow(a, 0, 2, 0, 0, 0);
    ExpectRow(a, 3, 2, 6, 12, 1);

    Matrix4 t = Identity();
    t.Translate(1.0f, 2.0f, 3.0f);
    t.Multiply(t);  // translating twice
    ExpectRow(t, 3, 2, 4, 6, 1);
}

// Each element is one extended-precision sum rounded once, as in Vec3::Dot: 1e8 + n - 1e8 keeps n,
// where float steps would round 1e8 + n to a multiple of 8 first.
TEST(Matrix4Test, MultiplyRoundsEachElementsExtendedSumOnce) {
    Matrix4 a, b;
    for (int r = 0; r < 4; ++r) {
        const float row[4] = {1e8f, static_cast<float>(r + 1), -1e8f, 0.5f};
        const float column[4] = {1.0f, static_cast<float>(r + 1), 1.0f, 1.0f};  // column r of b
        for (int k = 0; k < 4; ++k) {
            a.m[r][k] = row[k];
            b.m[k][r] = column[k];
        }
    }
    a.Multiply(b);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(a.m[r][c], static_cast<float>((r + 1) * (c + 1)) + 0.5f) << "[" << r << "][" << c << "]";
}

TEST(Matrix4Test, TranslateThenScaleScalesTheTranslation) {
    Matrix4 m = Identity();
    m.Translate(50.0f, 60.0f, 70.0f);
    ExpectRow(m, 3, 50, 60, 70, 1);
    m.Scale(2.0f, 2.0f, 2.0f);
    ExpectRow(m, 3, 100, 120, 140, 1);
}

TEST(Matrix4Test, ZeroRotationLeavesMatrixBitForBit) {
    Matrix4 m = Identity();
    m.Rotate(5.0f, 10.0f, 15.0f);
    m.Translate(0.1f, 0.2f, 0.3f);
    Matrix4 before = m;
    m.Rotate(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(std::memcmp(&m, &before, sizeof m), 0);
}

TEST(Matrix4Test, RotationOf90DegreesKeepsTheRoundedCosine) {
    const float k = 1.2167964e-8f;
    struct Case {
        float ax, ay, az;
        int i, j;          // rows/columns of the rotation block
        float sinAt_ij;    // element (i, j)
    } cases[] = {
        {90.0f, 0.0f, 0.0f, 1, 2, 1.0f},   // X: (1,2) = sin
        {0.0f, 90.0f, 0.0f, 0, 2, -1.0f},  // Y: (0,2) = -sin
        {0.0f, 0.0f, 90.0f, 0, 1, 1.0f},   // Z: (0,1) = sin
    };
    for (const Case& c : cases) {
        Matrix4 m = Identity();
        m.Rotate(c.ax, c.ay, c.az);
        EXPECT_EQ(m.m[c.i][c.i], k);
        EXPECT_EQ(m.m[c.j][c.j], k);
        EXPECT_EQ(m.m[c.i][c.j], c.sinAt_ij);
        EXPECT_EQ(m.m[c.j][c.i], -c.sinAt_ij);
        EXPECT_EQ(m.m[3][3], 1.0f);
    }
    Matrix4 x = Identity();
    x.Rotate(90.0f, 0.0f, 0.0f);
    ExpectRow(x, 1, 0, k, 1, 0);
    ExpectRow(x, 2, 0, -1, k, 0);
}

TEST(Matrix4Test, RotationOrderIsXThenYThenZ) {
    // Rotating (1, 0, 0) by Y 90 then Z 90 (row vector on the left) gives (0, 0, -1) then stays;
    // the reverse order would give (0, 1, 0) first.
    Matrix4 m = Identity();
    m.Rotate(0.0f, 90.0f, 90.0f);
    EXPECT_NEAR(m.m[0][0], 0.0f, 1e-6f);
    EXPECT_NEAR(m.m[0][1], 0.0f, 1e-6f);
    EXPECT_NEAR(m.m[0][2], -1.0f, 1e-6f);
}

TEST(Matrix4Test, X87KernelMatrixRowZero) {
    // The x87 load kernel's set-up sequence; its row 0 is the kernel's input.
    Matrix4 a = Identity();
    a.Rotate(5, 10, 15);
    a.Translate(50, 60, 70);
    a.Rotate(10, 11, 12);
    a.Scale(0.997f, 0.998f, 0.999f);
    EXPECT_EQ(a.m[0][3], 0.0f);
    EXPECT_NEAR(a.m[0][0], 0.8288f, 5e-5f);
    EXPECT_NEAR(a.m[0][1], 0.4632f, 5e-5f);
    EXPECT_NEAR(a.m[0][2], -0.3056f, 5e-5f);

    Matrix4 b = Identity();
    b.Rotate(75, 710, 715);
    b.Translate(750, 760, 770);
    b.Rotate(710, 711, 712);
    b.Scale(70.997f, 70.998f, 70.999f);
    EXPECT_NEAR(b.m[0][0], 65.54f, 5e-3f);
    EXPECT_NEAR(b.m[0][1], -13.11f, 5e-3f);
    EXPECT_NEAR(b.m[0][2], 23.93f, 5e-3f);
    EXPECT_EQ(b.m[0][3], 0.0f);
}

TEST(RoundToIntTest, FollowsTheCurrentRoundingMode) {
    struct Case {
        unsigned mode;
        float in;
        int out;
    } cases[] = {
        {_MM_ROUND_NEAREST, 2.5f, 2},   {_MM_ROUND_NEAREST, 3.5f, 4},  {_MM_ROUND_NEAREST, -2.5f, -2},
        {_MM_ROUND_DOWN, 2.7f, 2},      {_MM_ROUND_DOWN, -2.2f, -3},   {_MM_ROUND_UP, 2.2f, 3},
        {_MM_ROUND_TOWARD_ZERO, -2.7f, -2},
    };
    const unsigned saved = _MM_GET_ROUNDING_MODE();
    for (const Case& c : cases) {
        _MM_SET_ROUNDING_MODE(c.mode);
        const int got = RoundToInt(c.in);
        _MM_SET_ROUNDING_MODE(saved);
        EXPECT_EQ(got, c.out) << "mode " << c.mode << " value " << c.in;
    }
}

}  // namespace
