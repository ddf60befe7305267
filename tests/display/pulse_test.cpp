// The logo's and the glow's alphas over the 24-second pulse, with the animation on and off.
#include <cmath>
#include <limits>

#include "display/animation_scene.h"
#include "scene_fixture.h"

namespace {
class ScenePulse : public WithBitmapResources {
protected:
    void SetUp() override {
        WithBitmapResources::SetUp();
        ASSERT_EQ(scene.Create(), 1);
    }
    // The alpha of every vertex of a sprite, or -1 when the four differ.
    int VertexAlpha(int sprite) const {
        const SpriteVertex* vertices = scene.m_sprites[sprite].m_vertices;
        const std::uint32_t alpha = vertices[0].color >> 24;
        for (int i = 1; i < 4; ++i) {
            if (vertices[i].color >> 24 != alpha) return -1;
        }
        return int(alpha);
    }
    AnimationScene scene;
};
}  // namespace

TEST_F(ScenePulse, AlphasFollowTheSineWhileAnimating) {
    const struct {
        float time;
        int logo, glow;
    } cases[] = {
        {0, 1, 254}, {3, 38, 217}, {6, 127, 128}, {9, 217, 38}, {12, 255, 0}, {18, 128, 127}, {24, 1, 254},
        // A millisecond past the peak the sine is the float just below 1: 254.99999 truncates to
        // 254, where a float sum would round it up to 255 first.
        {12.001f, 254, 1},
    };
    scene.StartAnimation();
    for (const auto& c : cases) {
        scene.m_time = c.time;
        scene.Update(0);
        EXPECT_EQ(VertexAlpha(kLogoSprite), c.logo) << c.time;
        EXPECT_EQ(VertexAlpha(kGlowSprite), c.glow) << c.time;
        EXPECT_EQ(int(scene.m_sprites[kLogoSprite].m_color >> 24), c.logo) << c.time;
        EXPECT_EQ(VertexAlpha(kBackgroundSprite), 255) << c.time;
    }
}

TEST(PulseAlpha, TruncatesTheExactValueWithinOneTo255) {
    const float justBelowOne = std::nextafter(1.0f, 0.0f);
    const struct {
        float pulse;
        int alpha;
    } cases[] = {
        {-1.0f, 1}, {1.0f, 255}, {0.0f, 128}, {-4.87e-8f, 127}, {justBelowOne, 254}, {-justBelowOne, 1},
        // Outside the sine's range, and not a number: still an alpha, the steady logo for NaN.
        {-3.0f, 1}, {2.0f, 255}, {1e30f, 255}, {std::nanf(""), 255},
    };
    for (const auto& c : cases) EXPECT_EQ(PulseAlpha(c.pulse), c.alpha) << c.pulse;
}

TEST_F(ScenePulse, ANonFiniteStepLeavesTheAlphasInRange) {
    scene.StartAnimation();
    for (float step : {std::numeric_limits<float>::infinity(), std::nanf("")}) {
        scene.ResetTime();
        scene.Update(step);
        scene.Update(0);
        EXPECT_EQ(VertexAlpha(kLogoSprite), 255) << step;
        EXPECT_EQ(VertexAlpha(kGlowSprite), 0) << step;
    }
}

TEST_F(ScenePulse, StoppedTheLogoIsOpaqueAndTheGlowGone) {
    scene.StopAnimation();
    for (float time : {0.0f, 3.0f, 6.0f, 12.5f, 100.0f}) {
        scene.m_time = time;
        scene.Update(0);
        EXPECT_EQ(scene.m_pulse, 1.0f) << time;
        EXPECT_EQ(VertexAlpha(kLogoSprite), 255) << time;
        EXPECT_EQ(VertexAlpha(kGlowSprite), 0) << time;
    }
}

TEST_F(ScenePulse, OnlyTheAlphaBytesChange) {
    scene.StartAnimation();
    for (int frame = 0; frame < 70; ++frame) {
        scene.Update(0.37f);
        for (const Sprite& sprite : scene.m_sprites) {
            EXPECT_EQ(sprite.m_color & 0xFFFFFFu, 0xFFFFFFu);
            for (const SpriteVertex& vertex : sprite.m_vertices) {
                ASSERT_EQ(vertex.color & 0xFFFFFFu, 0xFFFFFFu) << frame;
            }
        }
        // The two always add up to 255: one fades in as the other fades out.
        EXPECT_EQ(VertexAlpha(kLogoSprite) + VertexAlpha(kGlowSprite), 255) << frame;
    }
}

TEST_F(ScenePulse, TimeAdvancesByEachStepAnimatedOrNot) {
    scene.StartAnimation();
    scene.Update(0.25f);
    scene.Update(0.5f);
    EXPECT_FLOAT_EQ(scene.m_time, 0.75f);
    scene.StopAnimation();
    scene.Update(0.25f);
    EXPECT_FLOAT_EQ(scene.m_time, 1.0f);
    scene.ResetTime();
    EXPECT_EQ(scene.m_time, 0.0f);
}
