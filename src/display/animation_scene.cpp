#include "display/animation_scene.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <new>

#include "display/bitmap_handles.h"
#include "display/bitmap_texture.h"

namespace {
// The virtual screen all sprites are placed in.
constexpr float kVirtualWidth = 640;
constexpr float kVirtualHeight = 480;

// 1/320 and 1/240 as the floats they round to, so the virtual screen maps onto -1..1 exactly.
const float kHalfWidthReciprocal = std::bit_cast<float>(0x3B4CCCCDu);
const float kHalfHeightReciprocal = std::bit_cast<float>(0x3B888889u);

// The pulse: 15 degrees per second, starting at 270 degrees (the sine's minimum), with pi/180 as
// a float. That constant is a hair small, which is why the logo and the glow are 127 and 128
// (not 128 and 127) at 6 seconds.
constexpr long double kDegreesPerSecond = 15;
constexpr long double kStartDegrees = 270;
constexpr float kRadiansPerDegree = 0.017453292f;

struct Placement {
    Vec2 size, position, origin;
};
// Background over the whole virtual screen; logo and glow over the band from y 48 to 208.
constexpr Placement kPlacements[kSpriteCount] = {
    {{kVirtualWidth, kVirtualHeight}, {0, 0}, {0, 0}},
    {{640, 160}, {320, 112}, {320, 64}},
    {{640, 160}, {320, 112}, {320, 64}},
};

constexpr unsigned kBitmapIds[kSpriteCount] = {kBackgroundBitmapId, kLogoBitmapId, kGlowBitmapId};

std::uint32_t WithAlpha(std::uint32_t color, int alpha) { return (color & 0x00FFFFFFu) | std::uint32_t(alpha) << 24; }

void BuildProjection(Matrix4& projection) {
    projection.Identity();
    projection.Translate(-kVirtualWidth / 2, -kVirtualHeight / 2, 0);
    projection.Scale(kHalfWidthReciprocal, kHalfHeightReciprocal, 1);
}
}  // namespace

int PulseAlpha(float pulse) {
    // In extended precision like the sine: a float sum would round 254.99999 (the pulse just
    // below 1) up to 255 before the truncation.
    const long double alpha = static_cast<long double>(pulse) * 127 + 128;
    // A time made infinite by a non-finite step has no sine; no conversion of it to int is defined.
    if (std::isnan(alpha)) {
        return 255;
    }
    return int(std::clamp(alpha, 1.0L, 255.0L));
}

AnimationScene::AnimationScene() {
    for (Sprite& sprite : m_sprites) {
        sprite.Init();
    }
}

AnimationScene::~AnimationScene() {
    // The device goes first, so it never points at a deleted frame buffer.
    m_device.reset();
    DeleteBitmapHandle(m_frameBuffer);
}

int AnimationScene::Create() {
    if (m_device) {
        return 1;
    }
    m_device.reset(new (std::nothrow) RenderDevice);
    if (!m_device) {
        return 0;
    }
    for (int i = 0; i < kSpriteCount; ++i) {
        m_textures[i].reset(LoadBitmapTexture(AfxGetResourceHandle(), kBitmapIds[i]));
        Sprite& sprite = m_sprites[i];
        sprite.AttachTexture(m_textures[i].get());
        // The placement overrides the picture's own size.
        sprite.m_size = kPlacements[i].size;
        sprite.m_origin = kPlacements[i].origin;
        sprite.m_position = kPlacements[i].position;
    }
    m_sprites[kBackgroundSprite].m_renderFlags &= ~kSpriteAlphaBlend;
    // A frame buffer made before the device would otherwise stay unbound until the size changes.
    AttachTarget();
    return 1;
}

void AnimationScene::Update(float dt) {
    const long double angle = (m_time * kDegreesPerSecond + kStartDegrees) * kRadiansPerDegree;
    m_pulse = m_animating != 0 ? float(std::sin(angle)) : 1.0f;
    const int alpha = PulseAlpha(m_pulse);

    Sprite& logo = m_sprites[kLogoSprite];
    Sprite& glow = m_sprites[kGlowSprite];
    logo.m_color = WithAlpha(logo.m_color, alpha);
    logo.m_colorChanged = true;
    glow.m_color = WithAlpha(glow.m_color, 255 - alpha);
    glow.m_colorChanged = true;

    // The mark stays set, so the colours are copied on every update.
    for (Sprite& sprite : m_sprites) {
        if (sprite.m_colorChanged) {
            for (SpriteVertex& vertex : sprite.m_vertices) {
                vertex.color = sprite.m_color;
            }
        }
    }
    for (Sprite& sprite : m_sprites) {
        DrawSprite(&sprite);
    }
    m_time += dt;
}

int AnimationScene::DrawSprite(Sprite* sprite) {
    if (!m_device || sprite == nullptr || sprite->m_texture == nullptr) {
        return 0;
    }
    Matrix4 world;
    sprite->BuildWorldMatrix(world);
    Matrix4 projection;
    BuildProjection(projection);

    RenderDevice& device = *m_device;
    device.SetTexture(0, sprite->m_texture);
    device.SetTextureStageState(0, TSS_MAGFILTER,
                                (sprite->m_renderFlags & kSpriteLinearFilter) != 0 ? TEXF_LINEAR : TEXF_POINT);
    device.SetTransform(TS_WORLD0, world);
    device.SetTransform(TS_PROJECTION, projection);
    device.SetStreamSource(0, sprite->m_vertices, kSpriteVertexFormat, sizeof(SpriteVertex));
    device.SetVertexFormat(kSpriteVertexFormat);
    device.SetRenderState(RS_LIGHTING, 0);
    device.SetRenderState(RS_ALPHABLENDENABLE, (sprite->m_renderFlags & kSpriteAlphaBlend) != 0 ? 1 : 0);
    device.DrawPrimitive(PT_TRIANGLESTRIP, 0, 2);
    return 1;
}
