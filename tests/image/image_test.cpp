#include "image/image.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

TEST(CreateImage, NewImagesAreZeroedAndTightlyPacked) {
    struct Case {
        int width, height;
        PixelFormat format;
        int pitch;
    };
    const Case cases[] = {
        {5, 3, R8G8B8, 15}, {3, 2, PALETTE4, 2}, {9, 4, MONOCHROME, 2}, {7, 7, A8R8G8B8, 28},
        {0, 5, A8R8G8B8, 0}, {5, 0, A8R8G8B8, 20}, {4, 4, UNKNOWN, 0},   {4, 4, PixelFormat(99), 0},
    };
    for (const Case& c : cases) {
        Image* image = createImage(c.width, c.height, c.format);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, c.width);
        EXPECT_EQ(image->height, c.height);
        EXPECT_EQ(image->format, c.format);
        EXPECT_EQ(image->pitch, c.pitch);
        // Pixels sit directly after the record, in the same allocation.
        EXPECT_EQ(image->pixels, reinterpret_cast<std::uint8_t*>(image) + sizeof(Image));
        for (int i = 0; i < c.pitch * c.height; ++i) {
            ASSERT_EQ(image->pixels[i], 0) << i;
        }
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(image->palette[i], 0u) << i;
        }
        destroyImage(image);
    }
}

TEST(CreateImage, RefusesNegativeAndOversizedSizes) {
    const int sizes[][2] = {
        {-1, 4}, {4, -1}, {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MAX, 1},
        {1 << 16, (1 << 12) + 1}, {(1 << 28) + 1, 1}, {65536, 65536},
    };
    for (const auto& size : sizes) {
        EXPECT_EQ(createImage(size[0], size[1], A8R8G8B8), nullptr) << size[0] << "x" << size[1];
        EXPECT_EQ(createImageHeader(size[0], size[1], A8R8G8B8, nullptr, 0, nullptr, 0), nullptr);
    }
}

TEST(CreateImage, CopiesAtMost256PaletteEntries) {
    std::vector<Color32> entries(300);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i] = static_cast<Color32>(i + 1);
    }
    struct Case {
        int count;
        int copied;
    };
    for (const Case c : {Case{3, 3}, Case{256, 256}, Case{300, 256}, Case{-5, 0}, Case{0, 0}}) {
        Image* image = createImage(2, 2, PALETTE8, entries.data(), c.count);
        ASSERT_NE(image, nullptr);
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(image->palette[i], i < c.copied ? entries[i] : 0u) << c.count << " " << i;
        }
        destroyImage(image);
    }
    Image* none = createImage(2, 2, PALETTE8, nullptr, 10);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->palette[0], 0u);
    destroyImage(none);
}

TEST(CreateImageHeader, PointsAtTheCallersPixels) {
    std::uint8_t pixels[64] = {};
    const Color32 palette[2] = {0x11u, 0x22u};
    Image* image = createImageHeader(4, 2, A8R8G8B8, palette, 2, pixels, 32);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixels, pixels);
    EXPECT_EQ(image->pitch, 32);
    EXPECT_EQ(image->palette[1], 0x22u);
    EXPECT_EQ(image->palette[2], 0u);
    EXPECT_EQ(destroyImage(image), nullptr);  // frees the record only
    EXPECT_EQ(destroyImage(nullptr), nullptr);
}

TEST(ImagePalette, CopiesAreClippedToTheTable) {
    Image* image = createImage(1, 1, PALETTE8);
    ASSERT_NE(image, nullptr);
    const Color32 entries[4] = {1, 2, 3, 4};
    Color32 out[4] = {9, 9, 9, 9};
    struct Case {
        int first, count, copied;
    };
    const Case cases[] = {{0, 4, 4}, {254, 4, 2}, {255, 1, 1}, {256, 1, 0}, {-1, 4, 0}, {10, 0, 0}, {10, -3, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(setImagePalette(image, c.first, entries, c.count), c.copied) << c.first << " " << c.count;
        EXPECT_EQ(getImagePalette(image, c.first, out, c.count), c.copied) << c.first << " " << c.count;
    }
    EXPECT_EQ(image->palette[254], 1u);
    EXPECT_EQ(image->palette[255], 1u);  // the later single-entry write
    EXPECT_EQ(image->palette[3], 4u);
    EXPECT_EQ(setImagePalette(nullptr, 0, entries, 4), 0);
    EXPECT_EQ(setImagePalette(image, 0, nullptr, 4), 0);
    EXPECT_EQ(getImagePalette(nullptr, 0, out, 4), 0);
    EXPECT_EQ(getImagePalette(image, 0, nullptr, 4), 0);
    destroyImage(image);
}

}  // namespace
