// AnimationScene: Ferrox's animated logo. Three sprites (background, logo, glow over the logo)
// drawn every frame through the renderer into the frame buffer that the window shows; the logo
// and the glow cross-fade on a sine pulse of 24 seconds.
#pragma once

#include <cstdint>
#include <memory>

#include "display/sprite.h"
#include "image/texture.h"
#include "platform/gdi_bitmap.h"
#include "render/render_device.h"

// Bitmap resources of the three pictures.
inline constexpr unsigned kBackgroundBitmapId = 117;
inline constexpr unsigned kLogoBitmapId = 113;
inline constexpr unsigned kGlowBitmapId = 115;

enum SpriteIndex { kBackgroundSprite = 0, kLogoSprite = 1, kGlowSprite = 2, kSpriteCount = 3 };

class AnimationScene {
public:
    AnimationScene();
    virtual ~AnimationScene();
    AnimationScene(const AnimationScene&) = delete;
    AnimationScene& operator=(const AnimationScene&) = delete;

    // Makes the device (bound to the frame buffer if ResizeTarget already made one), loads the
    // three pictures and places the sprites: 1, or 0 when the device cannot be allocated. A missing picture only leaves its sprite undrawn. Once is enough;
    // later calls change nothing and return 1.
    int Create();

    void StartAnimation() { m_animating = 1; }
    void StopAnimation() { m_animating = 0; }
    void ResetTime() { m_time = 0; }

    // Keeps a frame buffer of exactly width x height attached to the device as its render
    // target: 1 when there is one, 0 when it could not be made (a zero side, for one). The
    // device never keeps pointing at a buffer that is deleted.
    int ResizeTarget(int width, int height);

    // Sets the logo's and the glow's alpha from the pulse, draws the three sprites, then
    // advances the time by dt seconds.
    void Update(float dt);

    // Hands one sprite to the device: 1, or 0 without a device, a sprite or a texture.
    int DrawSprite(Sprite* sprite);

    HBITMAP m_frameBuffer = nullptr;
    std::unique_ptr<RenderDevice> m_device;
    Sprite m_sprites[kSpriteCount];
    float m_pulse = 0;        // the last sine value, -1 to 1
    std::int32_t m_animating = 0;
    float m_time = 0;         // seconds
    std::unique_ptr<Texture> m_textures[kSpriteCount];  // from bitmaps 117, 113, 115

private:
    void DetachTarget();
    // Binds the frame buffer, if there is one, as the device's target, its depth cleared to far.
    void AttachTarget();
};

// The logo's alpha for a pulse value (the glow has 255 minus it): 1 at -1, 255 at 1, kept within
// 1..255; 255, the steady logo, for a pulse that is not a number.
int PulseAlpha(float pulse);
