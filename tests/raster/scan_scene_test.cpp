// Whole batches through ScanConvertBatch: depth order between lanes, fill modes and the edge
// overlay, spans wider than the span arrays, and agreement of the two paths on a shaded scene.
#include <limits>

#include <gtest/gtest.h>

#include "scan_test_support.h"

namespace {

const ScreenVertex kTriangle[3] = {{1.25f, 0.5f, 1}, {6.75f, 3.5f, 1}, {1.25f, 6.5f, 1}};

ScreenVertex WithRhw(const ScreenVertex& v, float rhw) { return {v.sx, v.sy, rhw}; }

// Lanes 0 and 1 are the same triangle at the same w (2); lane 2 again, farther away (w = 4). The
// depth compare passes on equality, so the later lane's colour wins and the farther one is hidden.
TEST(ScanScene, EqualDepthLaterLaneWins) {
    for (bool sse : {false, true}) {
        auto device = MakeScanDevice(sse);
        ResetSpanContext(sse, device.get());
        SpanTarget target(8, 8);
        VertexBatch batch = EmptyBatch();
        for (int lane = 0; lane < 3; ++lane) {
            const float rhw = lane == 2 ? 0.25f : 0.5f;
            const ScreenVertex v[3] = {WithRhw(kTriangle[0], rhw), WithRhw(kTriangle[1], rhw),
                                       WithRhw(kTriangle[2], rhw)};
            SetLane(batch, lane, v);
        }
        DrawRounding rounding(sse);
        ScanConvertBatch(*device, batch);
        int covered = 0;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                if (target.Pixel(x, y) == kBackground) continue;
                ++covered;
                EXPECT_EQ(target.Pixel(x, y), device->flatColors[1]) << x << "," << y << " sse " << sse;
                EXPECT_EQ(target.Depth(x, y), 2.0f);
            }
        }
        EXPECT_GT(covered, 10);
    }
}

// Buffer descriptions compiled for another device are never drawn into (they may be gone).
TEST(ScanScene, ContextCompiledForAnotherDeviceDrawsNothing) {
    for (bool sse : {false, true}) {
        auto device = MakeScanDevice(sse);
        auto other = MakeScanDevice(sse);
        ResetSpanContext(sse, other.get());
        SpanTarget target(8, 8);
        VertexBatch batch = EmptyBatch();
        SetLane(batch, 0, kTriangle);
        DrawRounding rounding(sse);
        ScanConvertBatch(*device, batch);
        EXPECT_EQ(target.Coverage(), std::vector<std::string>(8, "........"));
        ScanConvertBatch(*other, batch);
        EXPECT_NE(target.Coverage(), std::vector<std::string>(8, "........"));
    }
}

// A Gouraud draw whose vertices carry no diffuse colour sets up no diffuse interpolants; its spans
// must not shade with the ones an earlier draw left behind (nor sample with its texture starts).
TEST(ScanScene, AttributesNotSetUpDoNotCarryOverFromEarlierDraws) {
    for (bool sse : {false, true}) {
        auto device = MakeScanDevice(sse);
        ResetSpanContext(sse, device.get());
        SpanContext& c = g_spanContext;
        c.shadeMode = SHADE_GOURAUD;
        c.interpolateDiffuse = 0;
        c.vertexFormat = VF_XYZ;
        for (int j = 0; j < 4; ++j) {
            for (int ch = 0; ch < 4; ++ch) {
                c.diffuseStart[ch][j] = 100.0f;
                c.diffuseStep4[ch][j] = 4.0f;
            }
            c.texStart[1][0][j] = 7.0f;
            c.texStep4[1][0][j] = 2.0f;
        }
        SpanTarget target(8, 8, 0xFF202020);
        VertexBatch batch = EmptyBatch();
        SetLane(batch, 0, kTriangle);
        DrawRounding rounding(sse);
        ScanConvertBatch(*device, batch);
        EXPECT_EQ(target.Pixel(2, 3), 0x00000000u) << "the colour a vertex without diffuse gets under flat shading";
        EXPECT_EQ(c.texStart[1][0][0], 0.0f) << sse;
        EXPECT_EQ(c.texStep4[1][0][0], 0.0f) << sse;
    }
}

struct FillCase {
    std::uint32_t fillMode;
    std::uint32_t overlay;
    bool filled;     // the interior pixel (4, 3) gets the lane's colour
    bool outlined;   // the edge pixels are white
};

// The overlay joins the truncated corners (2, 1), (10, 1), (2, 9) with white lines on top of the
// fill (all four lanes hold the same triangle); without solid fill mode nothing is filled.
TEST(ScanScene, FillModesAndEdgeOverlay) {
    const ScreenVertex v[3] = {{2.7f, 1.2f, 1}, {10.9f, 1.9f, 1}, {2.2f, 9.5f, 1}};
    const FillCase cases[] = {
        {FILL_SOLID, 0, true, false},
        {FILL_WIREFRAME, 0, false, false},
        {FILL_POINT, 0, false, false},
        {FILL_SOLID, 1, true, true},
        {FILL_WIREFRAME, 1, false, true},
    };
    for (bool sse : {false, true}) {
        for (const FillCase& fc : cases) {
            auto device = MakeScanDevice(sse);
            ResetSpanContext(sse, device.get());
            SpanTarget target(16, 16);
            device->renderTarget = g_spanContext.target;
            device->renderStates[RS_FILLMODE] = fc.fillMode;
            device->renderStates[RS_EDGEOVERLAY] = fc.overlay;
            VertexBatch batch = EmptyBatch();
            for (int lane = 0; lane < kBatchLanes; ++lane) SetLane(batch, lane, v);
            DrawRounding rounding(sse);
            ScanConvertBatch(*device, batch);

            const std::string name = "fill " + std::to_string(fc.fillMode) + " overlay " +
                                     std::to_string(fc.overlay) + (sse ? " sse" : " scalar");
            EXPECT_EQ(target.Pixel(4, 3), fc.filled ? device->flatColors[3] : kBackground) << name;
            if (!fc.filled) {
                EXPECT_EQ(g_spanContext.spanCount, 0u) << name;
            }
            for (int x = 2; x <= 10; ++x)
                EXPECT_EQ(target.Pixel(x, 1) == 0x00FFFFFFu, fc.outlined) << name << " top edge x " << x;
            // The line drawer's steps stop short of a line's far end: (2, 9) is never reached.
            for (int y = 1; y <= 8; ++y)
                EXPECT_EQ(target.Pixel(2, y) == 0x00FFFFFFu, fc.outlined) << name << " left edge y " << y;
            if (!fc.filled && !fc.outlined) {
                EXPECT_EQ(target.Coverage(), std::vector<std::string>(16, std::string(16, '.'))) << name;
            }
        }
    }
}

// Lanes whose corners are not finite, or lie far away, add no line to those of a finite triangle.
TEST(ScanScene, EdgeOverlayOfFarAndNonFiniteCorners) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const ScreenVertex v[3] = {{2.7f, 1.2f, 1}, {10.9f, 1.9f, 1}, {2.2f, 9.5f, 1}};
    const ScreenVertex odd[3][3] = {{{nan, 1, 1}, {4, 4, 1}, {1, 7, 1}},
                                    {{1e30f, 1e30f, 1}, {-1e30f, 5, 1}, {5, -1e30f, 1}},
                                    {{1, 1, 1}, {inf, 4, 1}, {3e9f, -3e9f, 1}}};
    std::vector<std::string> pictures[2];
    for (int variant = 0; variant < 2; ++variant) {
        auto device = MakeScanDevice(false);
        ResetSpanContext(false, device.get());
        SpanTarget target(16, 16);
        device->renderTarget = g_spanContext.target;
        device->renderStates[RS_FILLMODE] = FILL_WIREFRAME;
        device->renderStates[RS_EDGEOVERLAY] = 1;
        VertexBatch batch = EmptyBatch();
        SetLane(batch, 0, v);
        for (int lane = 1; lane < kBatchLanes; ++lane) SetLane(batch, lane, variant == 0 ? v : odd[lane - 1]);
        ScanConvertBatch(*device, batch);
        pictures[variant] = target.Coverage();
    }
    EXPECT_EQ(pictures[1], pictures[0]);
    EXPECT_EQ(pictures[0][1].substr(2, 9), "#########");
}

// A triangle across a 5000-pixel-wide target: every span is cut to its first 4096 pixels.
TEST(ScanScene, SpansBeyondTheArraysKeepTheirFirst4096Pixels) {
    for (bool sse : {false, true}) {
        auto device = MakeScanDevice(sse);
        ResetSpanContext(sse, device.get());
        SpanTarget target(5000, 2);
        VertexBatch batch = EmptyBatch();
        const ScreenVertex v[3] = {{-10.25f, -10.25f, 1}, {20000.25f, -10.25f, 1}, {-10.25f, 20000.25f, 1}};
        SetLane(batch, 0, v);
        DrawRounding rounding(sse);
        ScanConvertBatch(*device, batch);
        for (int y = 0; y < 2; ++y) {
            EXPECT_EQ(target.Pixel(0, y), device->flatColors[0]);
            EXPECT_EQ(target.Pixel(4095, y), device->flatColors[0]);
            EXPECT_EQ(target.Pixel(4096, y), kBackground);
            EXPECT_EQ(target.Pixel(4999, y), kBackground);
        }
        EXPECT_EQ(g_spanContext.pixelTotal, 2u * 4096u);
    }
}

// Channel values 8x + 4y + 16 (red), 200 - 4x - 8y (green) and 2x + 2y + 3 (blue) are whole numbers
// at every pixel; with power-of-two heights and areas every setup quantity is exact, so both paths
// (each in its own rounding mode) must draw the same picture.
void SetShadedLane(VertexBatch& batch, int lane, const ScreenVertex (&v)[3]) {
    SetLane(batch, lane, v);
    for (int k = 0; k < 3; ++k) {
        const float x = v[k].sx, y = v[k].sy, rhw = v[k].rhw;
        VertexSlot& slot = batch.corner[k];
        slot.diffuse[CH_A].lane[lane] = 255.0f * rhw;
        slot.diffuse[CH_R].lane[lane] = (8 * x + 4 * y + 16) * rhw;
        slot.diffuse[CH_G].lane[lane] = (200 - 4 * x - 8 * y) * rhw;
        slot.diffuse[CH_B].lane[lane] = (2 * x + 2 * y + 3) * rhw;
    }
}

Color32 ShadedColor(int x, int y) {
    return 0xFF000000u | static_cast<Color32>(8 * x + 4 * y + 16) << 16 |
           static_cast<Color32>(200 - 4 * x - 8 * y) << 8 | static_cast<Color32>(2 * x + 2 * y + 3);
}

struct Picture {
    std::vector<Color32> color;
    std::vector<float> depth;
};

Picture DrawShadedScene(bool sse) {
    auto device = MakeScanDevice(sse);
    ResetSpanContext(sse, device.get());
    SpanContext& c = g_spanContext;
    c.shadeMode = SHADE_GOURAUD;
    c.interpolateDiffuse = 1;
    c.vertexFormat = VF_XYZ | VF_DIFFUSE;
    SpanTarget target(16, 16);
    VertexBatch batch = EmptyBatch();
    const ScreenVertex near[3] = {{2.25f, 1.5f, 1}, {6.25f, 5.5f, 1}, {2.25f, 9.5f, 1}};
    const ScreenVertex far[3] = {{13.75f, 3.5f, 0.5f}, {9.75f, 7.5f, 0.5f}, {13.75f, 11.5f, 0.5f}};
    const ScreenVertex flatTop[3] = {{1.25f, 12.5f, 1}, {9.25f, 12.5f, 1}, {1.25f, 14.5f, 1}};
    const ScreenVertex nearest[3] = {{4.25f, 2.5f, 2}, {8.25f, 6.5f, 2}, {4.25f, 10.5f, 2}};
    SetShadedLane(batch, 0, near);
    SetShadedLane(batch, 1, far);
    SetShadedLane(batch, 2, flatTop);
    SetShadedLane(batch, 3, nearest);
    DrawRounding rounding(sse);
    ScanConvertBatch(*device, batch);
    return {target.Colors(), target.Depths()};
}

TEST(ScanScene, BothPathsDrawTheSameShadedScene) {
    const Picture scalar = DrawShadedScene(false);
    const Picture sse = DrawShadedScene(true);
    EXPECT_EQ(scalar.color, sse.color);
    EXPECT_EQ(scalar.depth, sse.depth);
    // Spot checks of the shading: inside the first triangle only, inside the nearest one, inside the
    // flat-topped one.
    for (const Picture* p : {&scalar, &sse}) {
        EXPECT_EQ(p->color[5 * 16 + 3], ShadedColor(3, 5));
        EXPECT_EQ(p->depth[5 * 16 + 3], 1.0f);
        EXPECT_EQ(p->color[6 * 16 + 6], ShadedColor(6, 6));
        EXPECT_EQ(p->depth[6 * 16 + 6], 0.5f);
        EXPECT_EQ(p->color[13 * 16 + 4], ShadedColor(4, 13));
        EXPECT_EQ(p->color[7 * 16 + 12], ShadedColor(12, 7));
        EXPECT_EQ(p->depth[7 * 16 + 12], 2.0f);
    }
}

}  // namespace
