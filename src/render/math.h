#pragma once
// Vector and matrix values of the renderer, the scene and the x87 load kernel. Direct3D's
// conventions: row vectors, composition by multiplying on the right, translation in row 3, angles
// in degrees. Intermediate results are computed in extended precision and rounded to float once,
// when stored.

#include <cstdint>

struct Vec2 {
    float x, y;

    void Set(float nx, float ny) {
        x = nx;
        y = ny;
    }
};

struct Vec3 {
    float x, y, z;

    void Set(float nx, float ny, float nz) {
        x = nx;
        y = ny;
        z = nz;
    }
    // The z product is formed first, then the y and the x products are added.
    float Dot(const Vec3& other) const {
        long double sum = static_cast<long double>(z) * other.z;
        sum += static_cast<long double>(y) * other.y;
        sum += static_cast<long double>(x) * other.x;
        return static_cast<float>(sum);
    }
    float Length() const;
    // Divides by the length: a zero vector comes out non-finite, so callers pass non-zero vectors.
    void Normalize();
};

struct Matrix4 {
    float m[4][4];  // m[row][column]

    void Identity();
    void Multiply(const Matrix4& other);  // this = this x other; other may be this
    void Scale(float sx, float sy, float sz);
    void Translate(float tx, float ty, float tz);
    // this = this x Rx(ax) x Ry(ay) x Rz(az); an axis whose angle is exactly 0 is skipped.
    void Rotate(float ax, float ay, float az);
};

// Converts with the current SSE rounding mode (round to nearest even unless the renderer changed it).
std::int32_t RoundToInt(float f);
