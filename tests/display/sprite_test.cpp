// Sprites: their initial state, attaching a texture, and where the world matrix puts the corners.
#include <memory>

#include "display/animation_scene.h"
#include "image/texture.h"
#include "scene_fixture.h"

namespace {
Vec2 Transform(const Matrix4& m, float x, float y) {
    return {x * m.m[0][0] + y * m.m[1][0] + m.m[3][0], x * m.m[0][1] + y * m.m[1][1] + m.m[3][1]};
}

// The unit quad in stream order: position and texture coordinates (both sets alike).
const struct {
    float x, y, u, v;
} kQuad[4] = {{0, 0, 0, 1}, {1, 0, 1, 1}, {0, 1, 0, 0}, {1, 1, 1, 0}};

void ExpectUnitQuad(const Sprite& sprite) {
    for (int i = 0; i < 4; ++i) {
        const SpriteVertex& vertex = sprite.m_vertices[i];
        EXPECT_EQ(vertex.position.x, kQuad[i].x) << i;
        EXPECT_EQ(vertex.position.y, kQuad[i].y) << i;
        EXPECT_EQ(vertex.position.z, 0.0f) << i;
        EXPECT_EQ(vertex.color, 0xFFFFFFFFu) << i;
        EXPECT_EQ(vertex.tex0.x, kQuad[i].u) << i;
        EXPECT_EQ(vertex.tex0.y, kQuad[i].v) << i;
        EXPECT_EQ(vertex.tex1.x, kQuad[i].u) << i;
        EXPECT_EQ(vertex.tex1.y, kQuad[i].v) << i;
    }
}

class SceneSprites : public WithBitmapResources {};
}  // namespace

TEST(Sprite, InitAndAttachTexture) {
    Sprite sprite;
    sprite.m_size.Set(3, 4);
    sprite.m_color = 0x12345678u;
    sprite.m_rotation = 45;
    sprite.Init();
    EXPECT_EQ(sprite.m_size.x, 0.0f);
    EXPECT_EQ(sprite.m_size.y, 0.0f);
    EXPECT_EQ(sprite.m_color, 0xFFFFFFFFu);
    EXPECT_EQ(sprite.m_rotation, 0.0f);
    EXPECT_TRUE(sprite.m_colorChanged);
    EXPECT_EQ(sprite.m_texture, nullptr);

    std::unique_ptr<Texture> texture(createTexture(64, 16, A8R8G8B8, 1));
    ASSERT_NE(texture, nullptr);
    sprite.AttachTexture(texture.get());
    EXPECT_EQ(sprite.m_texture, texture.get());
    EXPECT_EQ(sprite.m_size.x, 64.0f);
    EXPECT_EQ(sprite.m_size.y, 16.0f);
    EXPECT_EQ(sprite.m_renderFlags, kSpriteLinearFilter | kSpriteAlphaBlend);
    ExpectUnitQuad(sprite);

    // Without a texture the size stays; the quad is rewritten all the same.
    sprite.m_vertices[2].color = 0;
    sprite.AttachTexture(nullptr);
    EXPECT_EQ(sprite.m_texture, nullptr);
    EXPECT_EQ(sprite.m_size.x, 64.0f);
    ExpectUnitQuad(sprite);
}

TEST_F(SceneSprites, CornersLandOnTheVirtualScreen) {
    AnimationScene scene;
    ASSERT_EQ(scene.Create(), 1);
    const struct {
        int sprite;
        float left, top, right, bottom;
    } cases[] = {
        {kBackgroundSprite, 0, 0, 640, 480},
        {kLogoSprite, 0, 48, 640, 208},
        {kGlowSprite, 0, 48, 640, 208},
    };
    for (const auto& c : cases) {
        Matrix4 world;
        scene.m_sprites[c.sprite].BuildWorldMatrix(world);
        for (int corner = 0; corner < 4; ++corner) {
            const Vec2 p = Transform(world, kQuad[corner].x, kQuad[corner].y);
            EXPECT_FLOAT_EQ(p.x, kQuad[corner].x != 0 ? c.right : c.left) << c.sprite << " corner " << corner;
            EXPECT_FLOAT_EQ(p.y, kQuad[corner].y != 0 ? c.bottom : c.top) << c.sprite << " corner " << corner;
        }
    }
}

TEST(Sprite, RotationTurnsTheUnitQuadBeforeScaling) {
    Sprite sprite;
    sprite.Init();
    sprite.m_size.Set(2, 1);
    sprite.m_position.Set(10, 20);
    sprite.m_origin.Set(1, 0);
    sprite.m_rotation = 90;
    Matrix4 world;
    sprite.BuildWorldMatrix(world);
    // (1, 0) turns to (0, 1), is scaled to (0, 1) and moved by (9, 20).
    const Vec2 turned = Transform(world, 1, 0);
    EXPECT_NEAR(turned.x, 9.0f, 1e-5f);
    EXPECT_NEAR(turned.y, 21.0f, 1e-5f);
    const Vec2 other = Transform(world, 0, 1);
    EXPECT_NEAR(other.x, 7.0f, 1e-5f);
    EXPECT_NEAR(other.y, 20.0f, 1e-5f);
}

TEST_F(SceneSprites, CreatedSpritesTheirPicturesAndFlags) {
    AnimationScene scene;
    EXPECT_EQ(scene.m_device, nullptr);
    EXPECT_EQ(scene.m_animating, 0);
    EXPECT_EQ(scene.m_time, 0.0f);
    ASSERT_EQ(scene.Create(), 1);
    ASSERT_NE(scene.m_device, nullptr);
    const struct {
        int sprite;
        std::uint32_t flags;
    } cases[] = {
        {kBackgroundSprite, kSpriteLinearFilter},
        {kLogoSprite, kSpriteLinearFilter | kSpriteAlphaBlend},
        {kGlowSprite, kSpriteLinearFilter | kSpriteAlphaBlend},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(scene.m_sprites[c.sprite].m_texture, scene.m_textures[c.sprite].get()) << c.sprite;
        EXPECT_NE(scene.m_sprites[c.sprite].m_texture, nullptr) << c.sprite;
        EXPECT_EQ(scene.m_sprites[c.sprite].m_renderFlags, c.flags) << c.sprite;
    }
    // A second Create keeps what the first made.
    RenderDevice* device = scene.m_device.get();
    EXPECT_EQ(scene.Create(), 1);
    EXPECT_EQ(scene.m_device.get(), device);
}
