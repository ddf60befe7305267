#include "render/math.h"

#include <cmath>
#include <cstring>
#include <xmmintrin.h>

namespace {

// pi / 180 rounded to a float; the rounding shows in results (cos of 90 degrees is 1.2167964e-8).
constexpr float kDegreesToRadians = 0.017453292f;

long double LengthExtended(const Vec3& v) {
    long double sum = static_cast<long double>(v.x) * v.x;
    sum += static_cast<long double>(v.y) * v.y;
    sum += static_cast<long double>(v.z) * v.z;
    return std::sqrt(sum);
}

// Multiplies m on the right by the identity with one 2 x 2 rotation block at (i, i)..(j, j).
void RotateAxis(Matrix4& m, float angle, int i, int j, bool negateFirst) {
    if (angle == 0.0f) return;
    const long double t = static_cast<long double>(angle) * kDegreesToRadians;
    const float s = static_cast<float>(std::sin(t));
    const float c = static_cast<float>(std::cos(t));
    Matrix4 r;
    r.Identity();
    r.m[i][i] = c;
    r.m[j][j] = c;
    r.m[i][j] = negateFirst ? -s : s;
    r.m[j][i] = negateFirst ? s : -s;
    m.Multiply(r);
}

}  // namespace

float Vec3::Length() const { return static_cast<float>(LengthExtended(*this)); }

void Vec3::Normalize() {
    const long double k = 1.0L / LengthExtended(*this);
    x = static_cast<float>(x * k);
    y = static_cast<float>(y * k);
    z = static_cast<float>(z * k);
}

void Matrix4::Identity() {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = r == c ? 1.0f : 0.0f;
}

void Matrix4::Multiply(const Matrix4& other) {
    float result[4][4];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            long double sum = 0.0L;
            for (int k = 0; k < 4; ++k) sum += static_cast<long double>(m[r][k]) * other.m[k][c];
            result[r][c] = static_cast<float>(sum);
        }
    }
    std::memcpy(m, result, sizeof m);
}

void Matrix4::Scale(float sx, float sy, float sz) {
    Matrix4 s;
    s.Identity();
    s.m[0][0] = sx;
    s.m[1][1] = sy;
    s.m[2][2] = sz;
    Multiply(s);
}

void Matrix4::Translate(float tx, float ty, float tz) {
    Matrix4 t;
    t.Identity();
    t.m[3][0] = tx;
    t.m[3][1] = ty;
    t.m[3][2] = tz;
    Multiply(t);
}

void Matrix4::Rotate(float ax, float ay, float az) {
    RotateAxis(*this, ax, 1, 2, false);  // X: (1,2) = sin, (2,1) = -sin
    RotateAxis(*this, ay, 0, 2, true);   // Y: (0,2) = -sin, (2,0) = sin
    RotateAxis(*this, az, 0, 1, false);  // Z: (0,1) = sin, (1,0) = -sin
}

std::int32_t RoundToInt(float f) { return _mm_cvtss_si32(_mm_set_ss(f)); }
