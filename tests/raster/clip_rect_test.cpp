// The clip rectangle on whole draws: triangles reaching past a viewport that covers only part of
// the target write inside it and nowhere else, whichever span stages the draw runs, on both paths.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "clip_test_support.h"
#include "image/texture.h"

namespace {

using namespace cliptest;

constexpr int kWidth = 24;
constexpr int kHeight = 16;
// The viewport, and so the clip rectangle: columns 4..15, rows 2..11.
constexpr int kLeft = 4, kTop = 2, kRight = 16, kBottom = 12;
constexpr Color32 kUntouched = 0x5A5A5A5Au;

struct Vertex {
    float x, y, z;
    Color32 diffuse;
    float u, v;
};
static_assert(sizeof(Vertex) == 24, "position, colour and one texture set, unpadded");

// Pixel position to the identity-transformed coordinates that the viewport maps onto it.
Vertex At(float px, float py, Color32 diffuse, float u, float v) {
    const float halfWidth = (kRight - kLeft) / 2.0f, halfHeight = (kBottom - kTop) / 2.0f;
    return {(px + 0.5f - kLeft) / halfWidth - 1.0f, 1.0f - (py + 0.5f - kTop) / halfHeight, 0.5f, diffuse, u, v};
}

struct StageCase {
    const char* name;
    PixelFormat target;
    std::uint32_t shadeMode;
    bool textured;
    std::uint32_t filter;
    bool blend;
    bool fog;
    bool depthTrim;
    bool edgeOverlay;
};

const StageCase kCases[] = {
    {"flat", A8R8G8B8, SHADE_FLAT, false, TEXF_POINT, false, false, true, false},
    {"gouraud", A8R8G8B8, SHADE_GOURAUD, false, TEXF_POINT, false, false, true, false},
    {"point texture", A8R8G8B8, SHADE_GOURAUD, true, TEXF_POINT, false, false, true, false},
    {"bilinear texture, blended", A8R8G8B8, SHADE_GOURAUD, true, TEXF_LINEAR, true, false, true, false},
    {"fog, no depth trim", X8R8G8B8, SHADE_GOURAUD, false, TEXF_POINT, false, true, false, false},
    {"16-bit target", R5G6B5, SHADE_FLAT, true, TEXF_LINEAR, true, false, true, false},
    {"edge overlay", A8R8G8B8, SHADE_FLAT, false, TEXF_POINT, false, false, true, true},
};

class ClipRectangle : public ::testing::TestWithParam<bool> {
protected:
    void Draw(const StageCase& sc, const std::vector<Vertex>& vertices) {
        const int bytes = sc.target == R5G6B5 ? 2 : 4;
        colour.assign(static_cast<std::size_t>(kWidth) * kHeight * bytes / 4, kUntouched);
        device->SetRenderTarget(colour.data(), kWidth, kHeight, sc.target, kWidth * bytes);
        depth.assign(static_cast<std::size_t>(kWidth) * kHeight, 1e38f);
        device->SetDepthBuffer(depth.data(), kWidth, kHeight, ZBUFFER32, kWidth * 4);
        device->SetViewport(kLeft, kTop, kRight - kLeft, kBottom - kTop, 0.0f, 1.0f);
        device->SetRenderState(RS_PROCESSORPATH, GetParam() ? 2 : 0);
        device->SetRenderState(RS_LIGHTING, 0);
        device->SetRenderState(RS_SHADEMODE, sc.shadeMode);
        device->SetRenderState(RS_ALPHABLENDENABLE, sc.blend ? 1 : 0);
        device->SetRenderState(RS_FOGENABLE, sc.fog ? 1 : 0);
        device->SetRenderState(RS_FOGCOLOR, 0xFF808080u);
        device->SetRenderState(RS_DEPTHTRIM, sc.depthTrim ? 1 : 0);
        device->SetRenderState(RS_EDGEOVERLAY, sc.edgeOverlay ? 1 : 0);
        const VertexFormat format = VF_XYZ | VF_DIFFUSE | (sc.textured ? VF_TEX0 : 0u);
        device->ClearTextureStage(0);
        if (sc.textured) device->SetTexture(0, texture.get());
        device->SetTextureStageState(0, TSS_COLOROP, sc.textured ? TOP_MODULATE : TOP_SELECTARG1);
        device->SetTextureStageState(0, TSS_COLORARG1, sc.textured ? TA_TEXTURE : TA_DIFFUSE);
        device->SetTextureStageState(0, TSS_COLORARG2, TA_DIFFUSE);
        device->SetTextureStageState(0, TSS_MAGFILTER, sc.filter);
        device->SetVertexFormat(format);
        // Without a texture the format leaves u and v out, and the fetch skips them by the stride.
        device->SetStreamSource(0, vertices.data(), format, sizeof(Vertex));
        device->DrawPrimitive(PT_TRIANGLELIST, 0, static_cast<std::uint32_t>(vertices.size() / 3));
        bytesPerPixel = bytes;
    }

    bool Written(int x, int y) const {
        const auto* row = reinterpret_cast<const std::uint8_t*>(colour.data()) + y * kWidth * bytesPerPixel;
        for (int b = 0; b < bytesPerPixel; ++b)
            if (row[x * bytesPerPixel + b] != 0x5A) return true;
        return depth[static_cast<std::size_t>(y) * kWidth + x] != 1e38f;
    }

    // One row of characters per target row: '#' written, '.' untouched.
    std::vector<std::string> Picture() const {
        std::vector<std::string> rows;
        for (int y = 0; y < kHeight; ++y) {
            std::string row;
            for (int x = 0; x < kWidth; ++x) row += Written(x, y) ? '#' : '.';
            rows.push_back(row);
        }
        return rows;
    }

    std::unique_ptr<RenderDevice> device = std::make_unique<RenderDevice>();
    std::unique_ptr<Texture> texture = MakeTexture();
    std::vector<std::uint32_t> colour;
    std::vector<float> depth;
    int bytesPerPixel = 4;

private:
    static std::unique_ptr<Texture> MakeTexture() {
        std::unique_ptr<Texture> t(createTexture(8, 8, A8R8G8B8, 1));
        Image* level = t->getLevel(0);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const std::uint32_t texel = 0xC0000000u | static_cast<std::uint32_t>(x * 32) << 16 | static_cast<std::uint32_t>(y * 32);
                std::memcpy(level->pixels + y * level->pitch + x * 4, &texel, 4);
            }
        return t;
    }
};

// Triangles crossing each edge of the rectangle by several pixels, their far corners well outside
// the target on the right and below (the guard band leaves them to the rasterizer).
TEST_P(ClipRectangle, TrianglesCrossingItsEdgesWriteOnlyInsideIt) {
    const std::vector<Vertex> crossing = {
        // Across the right edge, its tip 14 columns beyond it.
        At(9, 3, 0xFF2040C0u, 0, 0), At(30, 6.5f, 0xFFC04020u, 7, 3), At(10, 10.5f, 0xFF40C020u, 1, 7),
        // Across the left and bottom edges.
        At(-3, 7, 0xFF808080u, 0, 2), At(8, 9, 0xFF20C0C0u, 6, 4), At(6, 20, 0xFFC0C020u, 3, 7),
        // Across the top edge and the top right corner.
        At(12, -4, 0xFFFFFFFFu, 0, 0), At(19, -1, 0xFF102030u, 5, 0), At(13, 4.5f, 0xFF302010u, 2, 6),
    };
    for (const StageCase& sc : kCases) {
        Draw(sc, crossing);
        const std::vector<std::string> picture = Picture();
        int inside = 0, outside = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool insideRect = x >= kLeft && x < kRight && y >= kTop && y < kBottom;
                (insideRect ? inside : outside) += picture[y][x] == '#';
            }
        }
        std::string shown;
        for (const std::string& row : picture) shown += "\n" + row;
        EXPECT_EQ(outside, 0) << sc.name << ", columns " << kLeft << "-" << kRight - 1 << " and rows " << kTop << "-"
                              << kBottom - 1 << " may be written:" << shown;
        // The right-edge triangle's rows 5-9 reach the last column of the rectangle.
        for (int y = 5; y <= 9; ++y) EXPECT_EQ(picture[y][kRight - 1], '#') << sc.name << ", row " << y << shown;
        EXPECT_GT(inside, 40) << sc.name << shown;
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, ClipRectangle, ::testing::Bool(),
                         [](const auto& info) { return std::string(PathName(info.param)); });

}  // namespace
