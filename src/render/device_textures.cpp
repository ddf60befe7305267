// Binding texture levels to the device's four stages.
#include "image/image.h"
#include "image/texture.h"
#include "render/render_device.h"

void RenderDevice::SetTexture(std::uint32_t stage, const Texture* texture) {
    // A null texture keeps the previous binding.
    if (stage >= kTextureStages || texture == nullptr) return;
    // Only the first eight levels have records, so levels 8-15 are never bound (and the stage
    // compilation samples level 0 alone).
    for (std::uint32_t level = 0; level < kStageLevelCount; ++level) {
        SetTextureLevel(stage, level, texture->getLevel(static_cast<int>(level)));
    }
}

void RenderDevice::SetTextureLevel(std::uint32_t stage, std::uint32_t level, const Image* image) {
    if (stage >= kTextureStages || level >= kStageLevelCount) return;
    TextureLevel& record = stages[stage].levels[level];
    if (image == nullptr) {
        record = TextureLevel{};
    } else {
        const std::uint32_t width = image->width > 0 ? static_cast<std::uint32_t>(image->width) : 0;
        const std::uint32_t height = image->height > 0 ? static_cast<std::uint32_t>(image->height) : 0;
        record = TextureLevel{width,        height, image->format, image->pitch, image->pixels,
                              static_cast<float>(width), static_cast<float>(height)};
    }
    stages[stage].dirty = kDirty;
}

void RenderDevice::ClearTextureStage(std::uint32_t stage) {
    if (stage >= kTextureStages) return;
    for (TextureLevel& record : stages[stage].levels) record = TextureLevel{};
    stages[stage].dirty = kDirty;
}
