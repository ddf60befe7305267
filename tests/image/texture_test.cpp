#include "image/texture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "image/blit.h"
#include "image/surface.h"

namespace {

using TexturePointer = std::unique_ptr<Texture>;

std::vector<std::pair<int, int>> levelSizes(const Texture& texture) {
    std::vector<std::pair<int, int>> sizes;
    for (int i = 0; i < kMaxTextureLevels; ++i) {
        if (texture.getLevel(i) != nullptr) {
            sizes.emplace_back(texture.levelWidth(i), texture.levelHeight(i));
        }
    }
    return sizes;
}

TEST(Texture, LevelChains) {
    struct Case {
        int width, height, count;
        std::vector<std::pair<int, int>> sizes;
    };
    const Case cases[] = {
        {512, 128, 1, {{512, 128}}},
        {512, 128, 0, {{512, 128}, {256, 64}, {128, 32}, {64, 16}, {32, 8}, {16, 4}, {8, 2}, {4, 1}}},
        {256, 256, 0, {{256, 256}, {128, 128}, {64, 64}, {32, 32}, {16, 16}, {8, 8}, {4, 4}, {2, 2}, {1, 1}}},
        {5, 3, 0, {{5, 3}, {2, 1}}},
        {64, 64, 3, {{64, 64}, {32, 32}, {16, 16}}},
        {65536, 1, 0, {{65536, 1}}},
        {1 << 17, 2, 0, {{1 << 17, 2}, {1 << 16, 1}}},
        {4, 4, 99, {{4, 4}, {2, 2}, {1, 1}}},
        {0, 16, 0, {}},
        {16, -1, 0, {}},
        {16, 16, -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " count " << c.count);
        TexturePointer texture(createTexture(c.width, c.height, A8R8G8B8, c.count));
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->levelCount(), static_cast<int>(c.sizes.size()));
        EXPECT_EQ(levelSizes(*texture), c.sizes);
        EXPECT_EQ(texture->getLevel(texture->levelCount()), nullptr);
        EXPECT_EQ(texture->textureFormat(), c.sizes.empty() ? UNKNOWN : A8R8G8B8);
    }
}

TEST(Texture, AccessorsOutsideTheChain) {
    TexturePointer texture(createTexture(8, 8, R5G6B5, 0));
    ASSERT_NE(texture, nullptr);
    for (int index : {-1, 16, 4, 1000, -2147483647 - 1}) {
        EXPECT_EQ(texture->getLevel(index), nullptr) << index;
        EXPECT_EQ(texture->levelWidth(index), 0) << index;
        EXPECT_EQ(texture->levelHeight(index), 0) << index;
    }
    EXPECT_EQ(texture->levelWidth(3), 1);
    EXPECT_EQ(texture->textureFormat(), R5G6B5);
}

TEST(Texture, CreateLevelsReusesMatchingLevelsAndReleasesOthers) {
    TexturePointer texture(createTexture(4, 4, A8R8G8B8, 0));
    ASSERT_NE(texture, nullptr);
    Image* first = texture->getLevel(0);
    first->pixels[0] = 0x5A;

    ASSERT_TRUE(texture->createLevels(4, 4, A8R8G8B8, 1));
    EXPECT_EQ(texture->getLevel(0), first);  // kept, pixels and all
    EXPECT_EQ(first->pixels[0], 0x5A);
    EXPECT_EQ(texture->getLevel(1), nullptr);
    EXPECT_EQ(texture->levelCount(), 1);

    ASSERT_TRUE(texture->createLevels(4, 4, R8G8B8, 0));
    ASSERT_NE(texture->getLevel(0), nullptr);
    EXPECT_EQ(texture->getLevel(0)->format, R8G8B8);
    EXPECT_EQ(texture->getLevel(0)->pixels[0], 0);  // a new, zeroed level
    EXPECT_EQ(texture->levelCount(), 3);

    ASSERT_TRUE(texture->createLevels(0, 4, R8G8B8, 0));
    EXPECT_EQ(texture->levelCount(), 0);
    EXPECT_TRUE(levelSizes(*texture).empty());

    texture->createLevels(2, 2, A8R8G8B8, 0);
    texture->releaseLevels();
    EXPECT_EQ(texture->levelCount(), 0);
    EXPECT_TRUE(levelSizes(*texture).empty());
}

TEST(Texture, RefusedLevelsFailTheTexture) {
    EXPECT_EQ(createTexture(1 << 20, 1 << 20, A8R8G8B8, 1), nullptr);
    TexturePointer texture(createTexture(4, 4, A8R8G8B8, 0));
    ASSERT_NE(texture, nullptr);
    EXPECT_FALSE(texture->createLevels(1 << 20, 1 << 20, A8R8G8B8, 0));
    EXPECT_EQ(texture->levelCount(), 0);
    EXPECT_TRUE(levelSizes(*texture).empty());
}

void writeLevel(Texture& texture, int index, const std::vector<Color32>& pixels) {
    Image* level = texture.getLevel(index);
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(level->width) * level->height);
    std::memcpy(level->pixels, pixels.data(), pixels.size() * 4);
}

std::vector<Color32> readLevel(const Texture& texture, int index) {
    const Image* level = texture.getLevel(index);
    std::vector<Color32> pixels(static_cast<std::size_t>(level->width) * level->height);
    std::memcpy(pixels.data(), level->pixels, pixels.size() * 4);
    return pixels;
}

TEST(Texture, GenerateLevels) {
    struct Case {
        int width, height;
        bool boxFilter;
        std::vector<Color32> level0;
        std::vector<Color32> level1;
    };
    const Case cases[] = {
        {2, 2, true, {0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF000000u}, {0xFF7F7F7Fu}},
        {2, 2, false, {0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF000000u}, {0xFF000000u}},
        // Alpha is averaged too; pair means are truncated before the final mean.
        {2, 2, true, {0x00000001u, 0xFF000000u, 0x00000001u, 0x00000000u}, {0x3F000000u}},
        // Odd sizes: the last column and row have no destination pixel and are dropped.
        {3, 3, true,
         {0x40404040u, 0x40404040u, 0x80808080u, 0x40404040u, 0x40404040u, 0x80808080u, 0x80808080u,
          0x80808080u, 0x80808080u},
         {0x40404040u}},
        {5, 2, false,
         {0x01u, 0x02u, 0x03u, 0x04u, 0x05u, 0x06u, 0x07u, 0x08u, 0x09u, 0x0Au}, {0x01u, 0x03u}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " box " << c.boxFilter);
        TexturePointer texture(createTexture(c.width, c.height, A8R8G8B8, 0));
        ASSERT_NE(texture, nullptr);
        writeLevel(*texture, 0, c.level0);
        texture->generateLevels(c.boxFilter);
        EXPECT_EQ(readLevel(*texture, 0), c.level0);
        EXPECT_EQ(readLevel(*texture, 1), c.level1);
    }
}

TEST(Texture, GenerateLevelsWalksTheWholeChain) {
    TexturePointer texture(createTexture(4, 4, A8R8G8B8, 0));
    ASSERT_NE(texture, nullptr);
    writeLevel(*texture, 0, std::vector<Color32>(16, 0x80604020u));
    texture->generateLevels(true);
    EXPECT_EQ(readLevel(*texture, 1), std::vector<Color32>(4, 0x80604020u));
    EXPECT_EQ(readLevel(*texture, 2), std::vector<Color32>(1, 0x80604020u));

    TexturePointer single(createTexture(2, 2, A8R8G8B8, 1));
    ASSERT_NE(single, nullptr);
    writeLevel(*single, 0, {1, 2, 3, 4});
    single->generateLevels(true);
    EXPECT_EQ(readLevel(*single, 0), (std::vector<Color32>{1, 2, 3, 4}));
    EXPECT_EQ(single->levelCount(), 1);
}

TEST(Texture, UploadsConvertIntoTheLevel) {
    TexturePointer texture(createTexture(2, 2, A8R8G8B8, 0));
    ASSERT_NE(texture, nullptr);
    // A 24-bit bitmap reads with alpha 0xFF; a 32-bit one keeps its alpha byte.
    const std::uint8_t bgr[2 * 8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0, 0,
                                     0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0, 0};  // stride 8
    texture->uploadToLevel(0, 0, 0, 2, 2, bgr, 0, 0, 2, 2, 2, 2, R8G8B8, 8);
    EXPECT_EQ(readLevel(*texture, 0), (std::vector<Color32>{0xFF030201u, 0xFF060504u, 0xFF090807u, 0xFF0C0B0Au}));
    const Color32 argb[4] = {0x11223344u, 0x55667788u, 0x99AABBCCu, 0x00DDEEFFu};
    texture->uploadToLevel(0, 0, 0, 2, 2, reinterpret_cast<const std::uint8_t*>(argb), 0, 0, 2, 2, 2, 2, A8R8G8B8,
                           8);
    EXPECT_EQ(readLevel(*texture, 0), std::vector<Color32>(argb, argb + 4));
    // Into level 1 with scaling: the 2x2 source onto its single pixel takes source (0, 0).
    texture->uploadToLevel(1, 0, 0, 1, 1, reinterpret_cast<const std::uint8_t*>(argb), 0, 0, 2, 2, 2, 2, A8R8G8B8,
                           8);
    EXPECT_EQ(readLevel(*texture, 1), std::vector<Color32>{0x11223344u});

    // Bad index, absent level, absent pixels, out-of-range rectangles: nothing changes.
    const std::vector<Color32> before = readLevel(*texture, 0);
    texture->uploadToLevel(-1, 0, 0, 2, 2, bgr, 0, 0, 2, 2, 2, 2, R8G8B8, 8);
    texture->uploadToLevel(16, 0, 0, 2, 2, bgr, 0, 0, 2, 2, 2, 2, R8G8B8, 8);
    texture->uploadToLevel(5, 0, 0, 2, 2, bgr, 0, 0, 2, 2, 2, 2, R8G8B8, 8);
    texture->uploadToLevel(0, 0, 0, 2, 2, nullptr, 0, 0, 2, 2, 2, 2, R8G8B8, 8);
    texture->uploadToLevel(0, 0, 0, 2, 2, bgr, 1 << 19, 0, 2, 2, 2, 2, R8G8B8, 8);
    texture->uploadImageToLevel(0, 0, 0, 2, 2, nullptr, 0, 0, 2, 2);
    EXPECT_EQ(readLevel(*texture, 0), before);
}

TEST(Texture, ImageUploadsUseTheImagesPalette) {
    const Color32 stale = 0xFFFFFFFFu;
    setBlitSourcePalette(&stale, 1);
    const Color32 palette[2] = {0xFF102030u, 0xFF405060u};
    Image* image = createImage(2, 1, PALETTE8, palette, 2);
    ASSERT_NE(image, nullptr);
    image->pixels[1] = 1;
    TexturePointer texture(createTexture(2, 1, A8R8G8B8, 1));
    ASSERT_NE(texture, nullptr);
    texture->uploadImageToLevel(0, 0, 0, 2, 1, image, 0, 0, 2, 1);
    EXPECT_EQ(readLevel(*texture, 0), (std::vector<Color32>{0xFF102030u, 0xFF405060u}));
    destroyImage(image);
}

}  // namespace
