#include "render/lighting.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "vertex_test_support.h"

namespace {

// The SSE form uses the approximate reciprocal square root (relative error below 1.5 x 2^-12), so
// its colours may differ from the exact ones by that fraction of 255.
constexpr float kSseTolerance = 255.0f * 1.5f / 4096.0f;

struct LightCase {
    const char* what;
    float nx, ny, nz;
    float a, r, g, b;  // expected colour for the vertex colour (200, 100, 80, 40)
};

// Each lane gets its own case and each corner and lane its own colour, so that a lane or a corner
// lit with another's normal or colour shows: lane l holds case (first + l) % count, its normal
// scaled by k + 1 on corner k (lighting divides by the length, so the factor stays), and the vertex
// colour (200, 100, 80, 40) scaled by ColorScale(k, l).
float ColorScale(int corner, int lane) { return 1.0f - 0.0625f * static_cast<float>(4 * corner + lane); }

const LightCase& LaneCase(const std::vector<LightCase>& cases, int first, int lane) {
    return cases[static_cast<std::size_t>(first + lane) % cases.size()];
}

void SetNormalsAndColors(VertexBatch& batch, const std::vector<LightCase>& cases, int first) {
    const float base[4] = {200, 100, 80, 40};
    for (int k = 0; k < 3; ++k) {
        VertexSlot& c = batch.corner[k];
        for (int l = 0; l < kBatchLanes; ++l) {
            const LightCase& t = LaneCase(cases, first, l);
            const float length = static_cast<float>(k + 1);
            c.nx.lane[l] = t.nx * length;
            c.ny.lane[l] = t.ny * length;
            c.nz.lane[l] = t.nz * length;
            for (int ch = 0; ch < 4; ++ch) c.diffuse[ch].lane[l] = base[ch] * ColorScale(k, l);
        }
    }
}

void ExpectColors(const VertexBatch& batch, const std::vector<LightCase>& cases, int first, float tolerance) {
    for (int k = 0; k < 3; ++k) {
        for (int l = 0; l < kBatchLanes; ++l) {
            const LightCase& t = LaneCase(cases, first, l);
            const float expected[4] = {t.a, t.r, t.g, t.b};
            for (int ch = 0; ch < 4; ++ch) {
                const float value = batch.corner[k].diffuse[ch].lane[l];
                EXPECT_FALSE(std::isnan(value)) << t.what;
                EXPECT_NEAR(value, expected[ch] * ColorScale(k, l), tolerance)
                    << t.what << ", corner " << k << " lane " << l << " channel " << ch;
            }
        }
    }
}

void LightOnPath(RenderDevice& device, VertexBatch& batch, bool sse) {
    device.ssePath = sse ? kDirty : 0;
    ScopedRoundingMode mode(PathRounding(sse));
    device.PrepareLighting();
    LightBatch(device, batch);
}

// Lights every rotation of the cases over the four lanes on the path and checks each.
void ExpectLighting(RenderDevice& device, const std::vector<LightCase>& cases, bool sse, float tolerance) {
    SCOPED_TRACE(sse ? "sse" : "scalar");
    for (int first = 0; first < static_cast<int>(cases.size()); ++first) {
        alignas(16) VertexBatch batch;
        FillBatch(batch, 0.0f);
        SetNormalsAndColors(batch, cases, first);
        LightOnPath(device, batch, sse);
        ExpectColors(batch, cases, first, tolerance);
    }
}

TEST(LightingTest, DefaultLightScalesByTheCosineWithABlueFloorOnBothPaths) {
    // Light 0 after reset: direction (0, 0, 1), diffuse (1, 1, 1, 1), ambient (1, 0, 0, 0.25).
    const std::vector<LightCase> cases = {
        {"facing the light", 0, 0, 1, 200, 100, 80, 40},
        {"long normal facing the light", 0, 0, 2.5f, 200, 100, 80, 40},
        {"at 0.8", 0, 3, 4, 200, 80, 64, 40},                     // blue: min(1, 0.8 + 0.25)
        {"at 0.6", 0, 4, 3, 200, 60, 48, 34},                     // blue: 0.85 x 40
        {"away from the light", 0, 0, -1, 200, 0, 0, 10},         // k = 0: min(1, E) only
        {"perpendicular", 1, 0, 0, 200, 0, 0, 10},
        {"zero normal", 0, 0, 0, 200, 0, 0, 10},                  // k = 0, no NaN
        {"negative zero normal", -0.0f, -0.0f, -0.0f, 200, 0, 0, 10},
    };
    for (bool sse : {false, true}) {
        auto device = MakeDevice();
        device->SetVertexFormat(VF_XYZ | VF_NORMAL | VF_DIFFUSE);
        ExpectLighting(*device, cases, sse, sse ? kSseTolerance : 1e-4f);
    }
}

TEST(LightingTest, DiffuseAndAmbientBlocksPlayTheirOwnPartsPerChannel) {
    const std::vector<LightCase> cases = {
        // k = 1: factors min(1, D + E) = (1, 0.6, 0.7, 0.8)
        {"facing", 0, 0, -1, 200, 60, 56, 32},
        // k = 0: factors min(1, E) = (0.5, 0.1, 0.2, 0.3)
        {"away", 0, 0, 1, 100, 10, 16, 12},
    };
    for (bool sse : {false, true}) {
        auto device = MakeDevice();
        device->SetVertexFormat(VF_XYZ | VF_NORMAL | VF_DIFFUSE);
        device->SetLightDiffuse(0, 1.0f, 0.5f, 0.5f, 0.5f);
        device->SetLightAmbient(0, 0.5f, 0.1f, 0.2f, 0.3f);
        device->SetLightSpecular(0, 9.0f, 9.0f, 9.0f, 9.0f);  // takes no part
        device->SetLightDirection(0, 0.0f, 0.0f, -3.0f);       // normalised when set
        ExpectLighting(*device, cases, sse, sse ? kSseTolerance : 1e-4f);
    }
}

TEST(LightingTest, ColoursStayWhenLightingIsOffOrTheFormatHasNoNormals) {
    const std::vector<LightCase> unchanged = {{"unchanged", 0, 0, -1, 200, 100, 80, 40},
                                              {"unchanged, facing", 0, 0, 1, 200, 100, 80, 40}};
    struct Setting {
        std::uint32_t lighting;
        VertexFormat format;
    } settings[] = {{0, VF_XYZ | VF_NORMAL | VF_DIFFUSE}, {1, VF_XYZ | VF_DIFFUSE}};
    for (const Setting& s : settings) {
        for (bool sse : {false, true}) {
            auto device = MakeDevice();
            device->SetRenderState(RS_LIGHTING, s.lighting);
            device->SetVertexFormat(s.format);
            ExpectLighting(*device, unchanged, sse, 0.0f);
        }
    }
}

TEST(LightingTest, PrepareLightingCopiesLightZeroForEitherPathOnceItChanges) {
    auto device = MakeDevice();
    device->ssePath = 0;  // written even on the scalar path, so a later switch finds it current
    device->SetLightDiffuse(0, 0.1f, 0.2f, 0.3f, 0.4f);
    device->SetLightAmbient(0, 0.5f, 0.6f, 0.7f, 0.8f);
    device->SetLightDirection(0, 0.0f, 3.0f, 4.0f);
    device->PrepareLighting();
    EXPECT_EQ(device->lights[0].dirty, 0u);
    for (int l = 0; l < kBatchLanes; ++l) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(device->laneLight.diffuse[c].lane[l], device->lights[0].diffuse[c]);
            EXPECT_EQ(device->laneLight.ambient[c].lane[l], device->lights[0].ambient[c]);
        }
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_EQ(device->laneLight.direction[axis].lane[l], device->lights[0].direction[axis]);
    }
    EXPECT_NEAR(device->laneLight.direction[1].lane[2], 0.6f, 1e-7f);

    // With lighting off the light stays dirty and the copy keeps its old values.
    device->SetRenderState(RS_LIGHTING, 0);
    device->SetLightAmbient(0, 1.0f, 1.0f, 1.0f, 1.0f);
    device->PrepareLighting();
    EXPECT_NE(device->lights[0].dirty, 0u);
    EXPECT_EQ(device->laneLight.ambient[CH_R].lane[0], 0.6f);
}

}  // namespace
