// What the scene hands the device for each sprite, and in which order the sprites are drawn.
#include <bit>
#include <cstring>
#include <vector>

#include "display/animation_scene.h"
#include "scene_fixture.h"

namespace {
constexpr std::uint32_t kDrawCallStatistic = 8;

Vec2 Project(const Matrix4& m, float x, float y) {
    return {x * m.m[0][0] + y * m.m[1][0] + m.m[3][0], x * m.m[0][1] + y * m.m[1][1] + m.m[3][1]};
}

// The device state each batch met on its way to the rasterizer.
struct BatchState {
    std::uint32_t blend;
    std::uint32_t magFilter;
    const std::uint8_t* texels;
};
std::vector<BatchState> g_batches;

void RecordBatch(RenderDevice& device, VertexBatch&) {
    g_batches.push_back({device.renderStates[RS_ALPHABLENDENABLE], device.stages[0].states[TSS_MAGFILTER],
                         device.stages[0].levels[0].pixels});
}

// The corners of every batch handed over, as vertex processing left them.
std::vector<VertexBatch> g_cornerBatches;

void RecordCorners(RenderDevice&, VertexBatch& batch) { g_cornerBatches.push_back(batch); }

class SceneDraws : public WithBitmapResources {
protected:
    void SetUp() override {
        WithBitmapResources::SetUp();
        ASSERT_EQ(scene.Create(), 1);
    }
    AnimationScene scene;
};
}  // namespace

TEST_F(SceneDraws, EachSpriteSetsItsStateThenDraws) {
    const struct {
        int sprite;
        std::uint32_t blend;
    } cases[] = {{kBackgroundSprite, 0}, {kLogoSprite, 1}, {kGlowSprite, 1}};
    RenderDevice& device = *scene.m_device;
    for (const auto& c : cases) {
        Sprite& sprite = scene.m_sprites[c.sprite];
        const std::uint64_t drawsBefore = device.GetStatistic(kDrawCallStatistic);
        ASSERT_EQ(scene.DrawSprite(&sprite), 1);
        EXPECT_EQ(device.GetStatistic(kDrawCallStatistic), drawsBefore + 1) << c.sprite;
        EXPECT_EQ(device.GetRenderState(RS_ALPHABLENDENABLE), c.blend) << c.sprite;
        EXPECT_EQ(device.GetRenderState(RS_LIGHTING), 0u) << c.sprite;
        EXPECT_EQ(device.GetTextureStageState(0, TSS_MAGFILTER), std::uint32_t(TEXF_LINEAR)) << c.sprite;
        EXPECT_EQ(device.stages[0].levels[0].pixels, sprite.m_texture->getLevel(0)->pixels) << c.sprite;
        EXPECT_EQ(device.vertexFormat, 0x342u);
        EXPECT_EQ(device.streams[0].data, reinterpret_cast<const std::uint8_t*>(sprite.m_vertices));
        EXPECT_EQ(device.streams[0].format, 0x342u);
        EXPECT_EQ(device.streams[0].stride, 32u);

        Matrix4 expected, world;
        sprite.BuildWorldMatrix(expected);
        device.GetTransform(TS_WORLD0, &world);
        EXPECT_EQ(std::memcmp(&expected, &world, sizeof world), 0) << c.sprite;
    }
}

// A sprite is one strip of two triangles over its four vertices (type 5, count 2): the triangle
// counter grows by 2 and one batch holds (v0, v1, v2) and the strip's second triangle with its
// winding kept, (v1, v3, v2); the last two lanes are padding at the origin. A fan, a quad or a
// list over the same vertices would put other corners there.
TEST_F(SceneDraws, ASpriteIsOneTwoTriangleStrip) {
    constexpr std::uint32_t kTriangleStatistic = 6;
    RenderDevice& device = *scene.m_device;
    g_cornerBatches.clear();
    device.batchConsumer = RecordCorners;
    const Sprite& sprite = scene.m_sprites[kLogoSprite];
    const std::uint64_t trianglesBefore = device.GetStatistic(kTriangleStatistic);
    ASSERT_EQ(scene.DrawSprite(&scene.m_sprites[kLogoSprite]), 1);
    EXPECT_EQ(device.GetStatistic(kTriangleStatistic), trianglesBefore + 2);
    ASSERT_EQ(g_cornerBatches.size(), 1u);
    const VertexBatch& batch = g_cornerBatches[0];
    const int strip[2][3] = {{0, 1, 2}, {1, 3, 2}};
    for (int lane = 0; lane < kBatchLanes; ++lane) {
        for (int k = 0; k < 3; ++k) {
            const VertexSlot& corner = batch.corner[k];
            if (lane < 2) {
                const SpriteVertex& v = sprite.m_vertices[strip[lane][k]];
                EXPECT_EQ(corner.x.lane[lane], v.position.x) << "lane " << lane << " corner " << k;
                EXPECT_EQ(corner.y.lane[lane], v.position.y) << "lane " << lane << " corner " << k;
                EXPECT_EQ(corner.tex[0][0].lane[lane], v.tex0.x) << "lane " << lane << " corner " << k;
                EXPECT_EQ(corner.tex[0][1].lane[lane], v.tex0.y) << "lane " << lane << " corner " << k;
            } else {
                EXPECT_EQ(corner.x.lane[lane], 0.0f) << "padding lane " << lane;
                EXPECT_EQ(corner.y.lane[lane], 0.0f) << "padding lane " << lane;
                EXPECT_EQ(corner.z.lane[lane], 0.0f) << "padding lane " << lane;
            }
        }
    }
}

TEST_F(SceneDraws, ProjectionMapsTheVirtualScreenOntoMinusOneToOne) {
    scene.DrawSprite(&scene.m_sprites[kLogoSprite]);
    Matrix4 projection;
    scene.m_device->GetTransform(TS_PROJECTION, &projection);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(projection.m[0][0]), 0x3B4CCCCDu);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(projection.m[1][1]), 0x3B888889u);
    EXPECT_EQ(projection.m[2][2], 1.0f);
    const struct {
        float x, y, px, py;
    } cases[] = {{0, 0, -1, -1}, {640, 480, 1, 1}, {320, 240, 0, 0}, {640, 0, 1, -1}};
    for (const auto& c : cases) {
        const Vec2 p = Project(projection, c.x, c.y);
        EXPECT_NEAR(p.x, c.px, 1e-6f) << c.x << "," << c.y;
        EXPECT_NEAR(p.y, c.py, 1e-6f) << c.x << "," << c.y;
    }
}

TEST_F(SceneDraws, WithoutLinearFlagTheFilterIsPoint) {
    Sprite& sprite = scene.m_sprites[kGlowSprite];
    sprite.m_renderFlags &= ~kSpriteLinearFilter;
    ASSERT_EQ(scene.DrawSprite(&sprite), 1);
    EXPECT_EQ(scene.m_device->GetTextureStageState(0, TSS_MAGFILTER), std::uint32_t(TEXF_POINT));
}

TEST_F(SceneDraws, NothingIsSubmittedWithoutDeviceSpriteOrTexture) {
    RenderDevice& device = *scene.m_device;
    const std::uint64_t draws = device.GetStatistic(kDrawCallStatistic);
    EXPECT_EQ(scene.DrawSprite(nullptr), 0);
    Sprite bare;
    bare.Init();
    EXPECT_EQ(scene.DrawSprite(&bare), 0);
    EXPECT_EQ(device.GetStatistic(kDrawCallStatistic), draws);

    AnimationScene uncreated;
    EXPECT_EQ(uncreated.DrawSprite(&scene.m_sprites[kLogoSprite]), 0);
}

TEST_F(SceneDraws, UpdateDrawsBackgroundLogoGlowInOrder) {
    g_batches.clear();
    scene.m_device->batchConsumer = RecordBatch;
    scene.StartAnimation();
    scene.Update(0.1f);
    ASSERT_EQ(g_batches.size(), 3u);
    const std::uint32_t expectedBlend[3] = {0, 1, 1};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(g_batches[i].blend, expectedBlend[i]) << i;
        EXPECT_EQ(g_batches[i].magFilter, std::uint32_t(TEXF_LINEAR)) << i;
        EXPECT_EQ(g_batches[i].texels, scene.m_textures[i]->getLevel(0)->pixels) << i;
    }
}

TEST_F(SceneDraws, AMissingPictureOnlyLeavesItsSpriteOut) {
    // Only the background among the resources: the logo and the glow have no texture.
    static const BitmapResource backgroundOnly[] = {
        {kBackgroundBitmapId, WithBitmapResources::BackgroundFile()},
    };
    UseBitmaps(backgroundOnly);
    AnimationScene partial;
    ASSERT_EQ(partial.Create(), 1);
    EXPECT_NE(partial.m_textures[kBackgroundSprite], nullptr);
    EXPECT_EQ(partial.m_textures[kLogoSprite], nullptr);
    EXPECT_EQ(partial.m_textures[kGlowSprite], nullptr);
    g_batches.clear();
    partial.m_device->batchConsumer = RecordBatch;
    partial.Update(0.1f);
    EXPECT_EQ(g_batches.size(), 1u);
}
