#pragma once
// Small helpers shared by the device tests.

#include <cstdint>
#include <cstring>
#include <memory>

#include "image/texture.h"
#include "render/render_device.h"

inline std::unique_ptr<RenderDevice> MakeDevice() { return std::make_unique<RenderDevice>(); }

struct TextureDeleter {
    void operator()(Texture* texture) const { delete texture; }
};
using TexturePtr = std::unique_ptr<Texture, TextureDeleter>;

inline TexturePtr MakeTexture(int width, int height, PixelFormat format, int levels) {
    return TexturePtr(createTexture(width, height, format, levels));
}

inline float FloatFromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline std::uint32_t BitsFromFloat(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline Matrix4 IdentityMatrix() {
    Matrix4 m;
    m.Identity();
    return m;
}

inline Matrix4 NumberedMatrix(float first) {
    Matrix4 m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m.m[r][c] = first + static_cast<float>(r * 4 + c);
    return m;
}

inline bool SameMatrix(const Matrix4& a, const Matrix4& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
