// Whole draws through the device on a small target: culling, queueing and padding, near-plane
// clipping and the guard band, as pictures of the target, on both paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "clip_test_support.h"

namespace {

using namespace cliptest;

constexpr int kSide = 32;
constexpr Color32 kClear = 0;

struct InputVertex {
    float x, y, z;
    Color32 diffuse;
};

// Pixel position to the identity-transformed coordinates that the viewport maps onto it.
InputVertex At(float px, float py, float z = 0.5f, Color32 diffuse = 0xFFFFFFFFu) {
    return {(px - 15.5f) / 16.0f, (15.5f - py) / 16.0f, z, diffuse};
}

class Draw : public ::testing::TestWithParam<bool> {
protected:
    Draw() : pixels(kSide * kSide, kClear) {
        device->SetRenderTarget(pixels.data(), kSide, kSide, A8R8G8B8, kSide * 4);
        device->ClearDepth(1.0f);
        device->SetRenderState(RS_PROCESSORPATH, GetParam() ? 2 : 0);
        device->SetRenderState(RS_LIGHTING, 0);
        device->SetRenderState(RS_SHADEMODE, SHADE_GOURAUD);
        device->SetTextureStageState(0, TSS_COLOROP, TOP_SELECTARG1);
        device->SetTextureStageState(0, TSS_COLORARG1, TA_DIFFUSE);
        device->SetVertexFormat(VF_XYZ | VF_DIFFUSE);
    }

    // Draws a triangle list and returns the pixels it wrote, counted by the device.
    std::uint64_t DrawList(const std::vector<InputVertex>& vertices) {
        device->SetStreamSource(0, vertices.data(), VF_XYZ | VF_DIFFUSE, sizeof(InputVertex));
        device->ResetStatistic(2);
        device->DrawPrimitive(PT_TRIANGLELIST, 0, static_cast<std::uint32_t>(vertices.size() / 3));
        EXPECT_EQ(device->drawCount, 0);
        EXPECT_EQ(device->clipCount, 0);
        return device->GetStatistic(2);
    }

    void Clear() {
        std::fill(pixels.begin(), pixels.end(), kClear);
        device->ClearDepth(1.0f);
    }

    int Covered() const { return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), [](Color32 c) { return c != kClear; })); }
    Color32 Pixel(int x, int y) const { return pixels[static_cast<std::size_t>(y) * kSide + x]; }

    std::unique_ptr<RenderDevice> device = std::make_unique<RenderDevice>();
    std::vector<Color32> pixels;
};

// Clockwise on the screen (y down), each in its own part of the target.
std::vector<InputVertex> Clockwise(float px, float py, Color32 colour) {
    return {At(px, py, 0.5f, colour), At(px + 6, py + 1, 0.5f, colour), At(px + 1, py + 6, 0.5f, colour)};
}

std::vector<InputVertex> CounterClockwise(float px, float py, Color32 colour) {
    auto v = Clockwise(px, py, colour);
    std::swap(v[1], v[2]);
    return v;
}

void Append(std::vector<InputVertex>& list, const std::vector<InputVertex>& more) { list.insert(list.end(), more.begin(), more.end()); }

TEST_P(Draw, CullModesKeepTheFacingTheyName) {
    const auto front = Clockwise(2, 2, 0xFF112233u);
    const auto back = CounterClockwise(18, 18, 0xFF445566u);
    struct Case {
        std::uint32_t mode;
        bool frontDrawn, backDrawn;
    } cases[] = {{CULL_NONE, true, true}, {CULL_CCW, true, false}, {CULL_CW, false, true}};
    for (const Case& c : cases) {
        Clear();
        device->SetRenderState(RS_CULLMODE, c.mode);
        std::vector<InputVertex> list = front;
        Append(list, back);
        DrawList(list);
        EXPECT_EQ(Pixel(4, 4) == 0xFF112233u, c.frontDrawn) << "mode " << c.mode;
        EXPECT_EQ(Pixel(20, 20) == 0xFF445566u, c.backDrawn) << "mode " << c.mode;
    }
}

TEST_P(Draw, FiveTrianglesDrawAsTheirSeparateDrawsAndThePaddingDrawsNothing) {
    // Lane 1 of the first batch is a back face under D3DCULL_CCW, so the other lanes go through the
    // draw queue and the end of the draw pads and draws it. Under flat shading each queued lane
    // keeps its own triangle's colour.
    device->SetRenderState(RS_CULLMODE, CULL_CCW);
    const std::vector<InputVertex> triangles[] = {
        Clockwise(1, 1, 0xFF0000FFu),         CounterClockwise(9, 1, 0xFF00FF00u), Clockwise(17, 1, 0xFFFF0000u),
        Clockwise(1, 9, 0xFF00FFFFu),         Clockwise(9, 9, 0xFFFFFF00u),
    };
    for (const std::uint32_t shadeMode : {SHADE_GOURAUD, SHADE_FLAT}) {
        SCOPED_TRACE(shadeMode);
        device->SetRenderState(RS_SHADEMODE, shadeMode);
        Clear();
        std::vector<InputVertex> all;
        for (const auto& t : triangles) Append(all, t);
        const std::uint64_t drawnTogether = DrawList(all);
        const std::vector<Color32> together = pixels;

        std::uint64_t drawnApart = 0;
        Clear();
        for (const auto& t : triangles) drawnApart += DrawList(t);
        EXPECT_EQ(pixels, together);
        EXPECT_EQ(drawnTogether, drawnApart);
        EXPECT_GT(drawnTogether, 0u);
        EXPECT_EQ(Pixel(3, 3), 0xFF0000FFu);
        EXPECT_EQ(Pixel(19, 3), 0xFFFF0000u);
        EXPECT_EQ(Pixel(11, 11), 0xFFFFFF00u);
        EXPECT_EQ(Pixel(11, 3), kClear) << "the back face";
        // The padding sits at the centre of the target, the origin of the untransformed space.
        EXPECT_EQ(Pixel(15, 15), kClear);
        EXPECT_EQ(Pixel(16, 16), kClear);
    }
}

TEST_P(Draw, TriangleCrossingTheNearPlaneDrawsItsNearSideWithoutGaps) {
    // One corner at z = -1 (before the near plane z = 0), two at z = 1: the part with z >= 0 is
    // the strip from the far edge to halfway toward the near corner.
    const std::vector<InputVertex> list = {At(16, 2, -1.0f), At(30, 30, 1.0f), At(2, 30, 1.0f)};
    DrawList(list);
    EXPECT_EQ(device->clipCount, 0);
    EXPECT_NE(Pixel(16, 28), kClear);
    EXPECT_NE(Pixel(10, 20), kClear);
    EXPECT_EQ(Pixel(16, 12), kClear) << "clipped away";
    // Each row of the two triangles that replace it is one unbroken run.
    int rowsDrawn = 0;
    for (int y = 0; y < kSide; ++y) {
        std::string row;
        for (int x = 0; x < kSide; ++x) row += Pixel(x, y) == kClear ? '.' : '#';
        const auto first = row.find('#');
        if (first == std::string::npos) continue;
        ++rowsDrawn;
        const auto last = row.find_last_of('#');
        EXPECT_EQ(row.find('.', first), last + 1 == row.size() ? std::string::npos : last + 1) << "row " << y << ": " << row;
    }
    EXPECT_GE(rowsDrawn, 12);
    EXPECT_LE(rowsDrawn, 15);
}

TEST_P(Draw, TriangleWhollyBeforeTheNearPlaneDrawsNothing) {
    const std::vector<InputVertex> list = {At(2, 2, -0.5f), At(30, 2, -1.0f), At(2, 30, -0.1f),
                                           At(2, 2, -0.5f), At(30, 30, -1.0f), At(30, 2, -0.1f)};
    EXPECT_EQ(DrawList(list), 0u);
    EXPECT_EQ(Covered(), 0);
}

TEST_P(Draw, GuardBandKeepsTrianglesAcrossTheEdgeAndDropsThoseBeyondIt) {
    // Across the left edge: drawn, cut by the scan converter at x = 0.
    DrawList({At(-40, 4), At(12, 8), At(-30, 20)});
    EXPECT_NE(Pixel(0, 10), kClear);
    EXPECT_GT(Covered(), 0);
    Clear();
    // Wholly left of the target: nothing.
    EXPECT_EQ(DrawList({At(-40, 4), At(-2, 8), At(-30, 20)}), 0u);
    EXPECT_EQ(Covered(), 0);
}

TEST_P(Draw, NonFiniteAndHugePositionsDrawSafely) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<InputVertex> list = {
        {inf, 0, 0.5f, 0xFFFFFFFFu},  At(4, 4),  At(8, 20),
        {0, nan, 0.5f, 0xFFFFFFFFu},  At(4, 4),  At(8, 20),
        {1e30f, 0, 0.5f, 0xFFFFFFFFu}, At(4, 4), At(8, 20),
        {-1e30f, 1e30f, 0.5f, 0xFFFFFFFFu}, At(4, 4), At(8, 20),
        {0, 0, 3e38f, 0xFFFFFFFFu},    At(4, 4), At(8, 20),
    };
    // The sanitizer build checks that nothing is touched outside the target; the lanes with a
    // non-finite corner are dropped, the huge ones drawn across the target.
    DrawList(list);
    EXPECT_NE(Pixel(6, 10), kClear);
}

INSTANTIATE_TEST_SUITE_P(Paths, Draw, ::testing::Bool(),
                         [](const auto& info) { return std::string(PathName(info.param)); });

}  // namespace
