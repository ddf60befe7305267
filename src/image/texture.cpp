#include "image/texture.h"

#include <new>

#include "image/blit.h"

namespace {

bool isLevelIndex(int index) { return index >= 0 && index < kMaxTextureLevels; }

}  // namespace

Texture::~Texture() { Texture::releaseLevels(); }

bool Texture::createLevels(int width, int height, PixelFormat format, int count) {
    const Image* first = m_levels[0];
    if (first != nullptr && (first->width != width || first->height != height || first->format != format)) {
        releaseLevels();
    }
    if (count == 0) {
        count = kMaxTextureLevels;
    }
    m_levelCount = 0;
    bool made = true;
    for (int i = 0; i < kMaxTextureLevels; ++i) {
        if (made && i < count && width > 0 && height > 0) {
            if (m_levels[i] == nullptr) {
                m_levels[i] = createImage(width, height, format);
            }
            if (m_levels[i] == nullptr) {
                made = false;  // free the rest too, so no stale level lies beyond levelCount
                continue;
            }
            ++m_levelCount;
            width >>= 1;
            height >>= 1;
        } else {
            m_levels[i] = destroyImage(m_levels[i]);
        }
    }
    return made;
}

void Texture::releaseLevels() {
    for (Image*& level : m_levels) {
        level = destroyImage(level);
    }
    m_levelCount = 0;
}

Image* Texture::getLevel(int index) const { return isLevelIndex(index) ? m_levels[index] : nullptr; }

int Texture::levelWidth(int index) const {
    const Image* level = getLevel(index);
    return level != nullptr ? level->width : 0;
}

int Texture::levelHeight(int index) const {
    const Image* level = getLevel(index);
    return level != nullptr ? level->height : 0;
}

PixelFormat Texture::textureFormat() const { return m_levels[0] != nullptr ? m_levels[0]->format : UNKNOWN; }

void Texture::uploadToLevel(int levelIndex, int destinationX, int destinationY, int destinationW, int destinationH,
                            const std::uint8_t* sourcePixels, int sourceX, int sourceY, int sourceW, int sourceH,
                            int sourceWidth, int sourceHeight, PixelFormat sourceFormat, int sourcePitch) {
    Image* level = getLevel(levelIndex);
    if (level == nullptr || sourcePixels == nullptr) {
        return;
    }
    stretchBlit(level->pixels, destinationX, destinationY, destinationW, destinationH, level->width, level->height,
                level->format, level->pitch, sourcePixels, sourceX, sourceY, sourceW, sourceH, sourceWidth,
                sourceHeight, sourceFormat, sourcePitch);
}

void Texture::uploadImageToLevel(int levelIndex, int destinationX, int destinationY, int destinationW,
                                 int destinationH, const Image* source, int sourceX, int sourceY, int sourceW,
                                 int sourceH) {
    if (source == nullptr) {
        return;
    }
    // The image's own palette, not whatever an earlier copy left in the source blit palette.
    setBlitSourcePalette(source->palette, 256);
    uploadToLevel(levelIndex, destinationX, destinationY, destinationW, destinationH, source->pixels, sourceX,
                  sourceY, sourceW, sourceH, source->width, source->height, source->format, source->pitch);
}

Texture* createTexture(int width, int height, PixelFormat format, int count) {
    Texture* texture = new (std::nothrow) Texture();
    if (texture == nullptr) {
        return nullptr;
    }
    if (!texture->createLevels(width, height, format, count)) {
        delete texture;
        return nullptr;
    }
    return texture;
}
