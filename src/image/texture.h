#pragma once
// Texture: a chain of up to 16 image levels of one format, each half the width and height of the one
// before (arithmetic shift). The texture owns its levels.

#include <cstdint>

#include "image/image.h"

constexpr int kMaxTextureLevels = 16;

class Texture {
public:
    Texture() = default;
    virtual ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Builds the chain: count 0 means 16; it stops where a side would reach 0. Existing levels of
    // the same size and format are kept with their pixels. False when a level cannot be allocated.
    virtual bool createLevels(int width, int height, PixelFormat format, int count);
    virtual void releaseLevels();
    // Fills levels 1 and up from the level above: a 2x2 box filter, or point sampling.
    virtual void generateLevels(bool boxFilter);

    // None, or 0, for an index outside 0..15 or an absent level.
    Image* getLevel(int index) const;
    int levelWidth(int index) const;
    int levelHeight(int index) const;
    PixelFormat textureFormat() const;
    int levelCount() const { return m_levelCount; }

    // Scales the source rectangle onto the level's destination rectangle, converting formats; nothing
    // for a bad index, an absent level or absent source pixels. Palettised sources use the source
    // blit palette.
    void uploadToLevel(int levelIndex, int destinationX, int destinationY, int destinationW, int destinationH,
                       const std::uint8_t* sourcePixels, int sourceX, int sourceY, int sourceW, int sourceH,
                       int sourceWidth, int sourceHeight, PixelFormat sourceFormat, int sourcePitch);
    // As uploadToLevel from an image, whose own palette serves palettised pixels.
    void uploadImageToLevel(int levelIndex, int destinationX, int destinationY, int destinationW, int destinationH,
                            const Image* source, int sourceX, int sourceY, int sourceW, int sourceH);

private:
    Image* m_levels[kMaxTextureLevels] = {};
    int m_levelCount = 0;
};

// A new texture with its levels made, or none when the object or a level cannot be allocated.
Texture* createTexture(int width, int height, PixelFormat format, int count);
