// Texture coordinates in setup: the stage's texture transform, then texel units with the stage's
// texel-centre offset, for the texture sets the vertex format carries.
#include <gtest/gtest.h>

#include <bit>

#include "clip_test_support.h"
#include "raster/triangle_setup.h"

namespace {

using namespace cliptest;

class TexCoords : public ::testing::TestWithParam<bool> {
protected:
    TexCoords() {
        for (VertexSlot& slot : batch.corner)
            for (int set = 0; set < kTextureSets; ++set)
                for (int lane = 0; lane < kBatchLanes; ++lane) {
                    slot.tex[set][0].lane[lane] = 1.0f;
                    slot.tex[set][1].lane[lane] = 2.0f;
                }
        for (Matrix4& m : device->textureMatrix) m.Identity();
    }
    void ExpectAll(int set, float u, float v, const char* what) {
        for (const VertexSlot& slot : batch.corner)
            for (int lane = 0; lane < kBatchLanes; ++lane) {
                EXPECT_EQ(slot.tex[set][0].lane[lane], u) << what << " set " << set;
                EXPECT_EQ(slot.tex[set][1].lane[lane], v) << what << " set " << set;
            }
    }
    ClipDevice device{GetParam()};
    DrawRounding rounding{GetParam()};
    alignas(16) VertexBatch batch{};
};

TEST_P(TexCoords, TextureTransformByFlags) {
    struct Case {
        const char* name;
        std::uint32_t flags;
        int row, column;
        float value;
        float u, v;  // from u = 1, v = 2
    } cases[] = {
        {"COUNT2 translate u in row 4", TTFF_COUNT2, 3, 0, 0.5f, 1.5f, 2.0f},
        {"COUNT2 translate u in row 3", TTFF_COUNT2, 2, 0, 0.25f, 1.25f, 2.0f},
        {"COUNT2 translate v in row 3", TTFF_COUNT2, 2, 1, 0.25f, 1.0f, 2.25f},
        {"COUNT2 u into v", TTFF_COUNT2, 0, 1, 3.0f, 1.0f, 5.0f},
        {"COUNT2 v into u", TTFF_COUNT2, 1, 0, 3.0f, 7.0f, 2.0f},
        {"COUNT2 scale v", TTFF_COUNT2, 1, 1, 4.0f, 1.0f, 8.0f},
        {"COUNT1 translate u", TTFF_COUNT1, 3, 0, 0.5f, 1.5f, 2.0f},
        {"COUNT1 leaves v", TTFF_COUNT1, 3, 1, 0.5f, 1.0f, 2.0f},
        {"disabled", TTFF_DISABLE, 3, 0, 0.5f, 1.0f, 2.0f},
        {"COUNT3 is no change", 3, 3, 0, 0.5f, 1.0f, 2.0f},
    };
    for (const Case& c : cases) {
        for (VertexSlot& slot : batch.corner)
            for (int lane = 0; lane < kBatchLanes; ++lane) {
                slot.tex[1][0].lane[lane] = 1.0f;
                slot.tex[1][1].lane[lane] = 2.0f;
            }
        device->textureMatrix[1].Identity();
        device->textureMatrix[1].m[c.row][c.column] = c.value;
        device->stages[1].states[TSS_TEXTURETRANSFORMFLAGS] = c.flags;
        TransformTexCoords(*device, batch, VF_XYZ | VF_TEX1);
        ExpectAll(1, c.u, c.v, c.name);
    }
}

TEST_P(TexCoords, TransformReadsTheStageMatrixAsItIsAtTheDraw) {
    // A stage that turns its transform on after the matrices were last prepared.
    device->textureMatrix[0].m[3][0] = 0.5f;
    device->stages[0].states[TSS_TEXTURETRANSFORMFLAGS] = TTFF_COUNT2;
    TransformTexCoords(*device, batch, VF_XYZ | VF_TEX0);
    ExpectAll(0, 1.5f, 2.0f, "translated");
}

TEST_P(TexCoords, AbsentSetsAreLeftAlone) {
    for (int stage = 0; stage < kTextureStages; ++stage) {
        device->stages[stage].states[TSS_TEXTURETRANSFORMFLAGS] = TTFF_COUNT2;
        device->textureMatrix[stage].m[3][0] = 0.5f;
        device->stages[stage].levels[0].widthF = 64.0f;
        device->stages[stage].levels[0].heightF = 32.0f;
    }
    PrepareTexCoords(*device, batch, VF_XYZ | VF_TEX2);
    ExpectAll(0, 1.0f, 2.0f, "absent");
    ExpectAll(1, 1.0f, 2.0f, "absent");
    ExpectAll(2, 1.5f * 64.0f, 2.0f * 32.0f, "present");
    ExpectAll(3, 1.0f, 2.0f, "absent");
}

TEST_P(TexCoords, TexelUnitsWithTheStageOffset) {
    struct Case {
        const char* name;
        std::uint32_t magFilter;
        float offset;  // what the draw preparation stores for that filter
        float u, v;
    } cases[] = {
        {"linear", TEXF_LINEAR, -0.5f, 127.5f, 15.5f},
        {"point", TEXF_POINT, 0.0f, 128.0f, 16.0f},
    };
    for (const Case& c : cases) {
        for (VertexSlot& slot : batch.corner)
            for (int lane = 0; lane < kBatchLanes; ++lane) {
                slot.tex[0][0].lane[lane] = 0.5f;
                slot.tex[0][1].lane[lane] = 0.25f;
            }
        TextureStage& stage = device->stages[0];
        stage.levels[0].widthF = 256.0f;
        stage.levels[0].heightF = 64.0f;
        stage.states[TSS_MAGFILTER] = c.magFilter;
        stage.states[TSS_TEXELOFFSET] = std::bit_cast<std::uint32_t>(c.offset);
        stage.states[TSS_TEXTURETRANSFORMFLAGS] = TTFF_DISABLE;
        PrepareTexCoords(*device, batch, VF_XYZ | VF_TEX0);
        ExpectAll(0, c.u, c.v, c.name);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, TexCoords, ::testing::Bool(),
                         [](const auto& info) { return std::string(PathName(info.param)); });

}  // namespace
