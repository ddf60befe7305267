#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/image.h"
#include "image/surface.h"

namespace {

struct RoundTrip {
    PixelFormat format;
    Color32 written;
    std::vector<std::uint8_t> stored;  // bytes of pixel 0 in memory order
    std::uint32_t readBack;
};

// Palette shared by every row: entry 200 matches 0x89ABCDEF exactly, entry 5 is the nearest of the
// first 16, entry 1 is what a set monochrome bit reads.
void fillTestPalette(Color32* palette) {
    for (int i = 0; i < 256; ++i) {
        palette[i] = 0x01000000u * static_cast<unsigned>(i);  // black of varying alpha: far from the test colour
    }
    palette[1] = 0xFFFFFFFFu;
    palette[5] = 0x00ABCDEEu;
    palette[200] = 0x89ABCDEFu;
}

const RoundTrip kRoundTrips[] = {
    {UNKNOWN, 0x89ABCDEFu, {}, 0},
    {A8R8G8B8, 0x89ABCDEFu, {0xEF, 0xCD, 0xAB, 0x89}, 0x89ABCDEFu},
    {X8R8G8B8, 0x89ABCDEFu, {0xEF, 0xCD, 0xAB, 0x00}, 0xFFABCDEFu},
    {R8G8B8, 0x89ABCDEFu, {0xEF, 0xCD, 0xAB}, 0xFFABCDEFu},
    {A4R4G4B4, 0x89ABCDEFu, {0xCE, 0x8A}, 0x80A0C0E0u},
    {X4R4G4B4, 0x89ABCDEFu, {0xCE, 0x0A}, 0xFFA0C0E0u},
    {A1R5G5B5, 0x89ABCDEFu, {0x3D, 0xD7}, 0x80A8C8E8u},
    {X1R5G5B5, 0x89ABCDEFu, {0x3D, 0x57}, 0xFFA8C8E8u},
    {R5G6B5, 0x89ABCDEFu, {0x7D, 0xAE}, 0x00A8CCE8u},
    {A8B8G8R8, 0x89ABCDEFu, {0xAB, 0xCD, 0xEF, 0x89}, 0x89ABCDEFu},
    {X8B8G8R8, 0x89ABCDEFu, {0xAB, 0xCD, 0xEF, 0x00}, 0x00ABCDEFu},
    {B8G8R8, 0x89ABCDEFu, {0xAB, 0xCD, 0xEF}, 0x00ABCDEFu},
    {A4B4G4R4, 0x89ABCDEFu, {0xCA, 0x8E}, 0x80A0C0E0u},
    {X4B4G4R4, 0x89ABCDEFu, {0xCA, 0x0E}, 0xFFA0C0E0u},
    {A1B5G5R5, 0x89ABCDEFu, {0x35, 0xF7}, 0x80A8C8E8u},
    {X1B5G5R5, 0x89ABCDEFu, {0x35, 0x77}, 0xFFA8C8E8u},
    {B5G6R5, 0x89ABCDEFu, {0x75, 0xEE}, 0xFFA8CCE8u},
    {PixelFormat(17), 0x89ABCDEFu, {}, 0},
    {GRAYSCALE8, 0x89ABCDEFu, {0xCD}, 0xFFCDCDCDu},
    {PALETTE8, 0x89ABCDEFu, {200}, 0x89ABCDEFu},
    {PALETTE4, 0x89ABCDEFu, {0x50}, 0x00ABCDEEu},
    {MONOCHROME, 0x89ABCDEFu, {0x80}, 0xFFFFFFFFu},
    {INDEX32, 0x89ABCDEFu, {0xEF, 0xCD, 0xAB, 0x89}, 0x89ABCDEFu},
    {INDEX24, 0x89ABCDEFu, {0xEF, 0xCD, 0xAB}, 0x00ABCDEFu},
    {INDEX16, 0x89ABCDEFu, {0xEF, 0xCD}, 0xCDEFu},
    {INDEX8, 0x89ABCDEFu, {0xEF}, 0xEFu},
    {INDEX4, 0x89ABCDEFu, {0xF0}, 0xFu},
    {ZBUFFER32, 0x89ABCDEFu, {0, 0, 0, 0}, 0},
    {PixelFormat(28), 0x89ABCDEFu, {}, 0},
    // Cases Ferrox's users rely on.
    {A1R5G5B5, 0x80FF0000u, {0x00, 0xFC}, 0x80F80000u},
    {X1R5G5B5, 0x80FF0000u, {0x00, 0x7C}, 0xFFF80000u},
    {A4R4G4B4, 0xFFFFFFFFu, {0xFF, 0xFF}, 0xF0F0F0F0u},
    {R5G6B5, 0xFFFFFFFFu, {0xFF, 0xFF}, 0x00F8FCF8u},
    {B5G6R5, 0xFFFFFFFFu, {0xFF, 0xFF}, 0xFFF8FCF8u},
    {GRAYSCALE8, 0x00010203u, {0x02}, 0xFF020202u},
    {GRAYSCALE8, 0x00808080u, {0x80}, 0xFF808080u},
    {INDEX24, 0x89ABCDEFu, {0xEF, 0xCD, 0xAB}, 0x00ABCDEFu},
    {MONOCHROME, 0, {0x00}, 0x00000000u},
    {A1R5G5B5, 0x7FFFFFFFu, {0xFF, 0x7F}, 0x00F8F8F8u},
};

TEST(PixelRoutines, RoundTripEveryFormat) {
    for (const RoundTrip& row : kRoundTrips) {
        SCOPED_TRACE(testing::Message() << "format " << row.format << " value " << std::hex << row.written);
        Color32 palette[256];
        fillTestPalette(palette);
        Image* image = createImage(1, 1, row.format, palette, 256);
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(static_cast<std::size_t>(image->pitch), row.stored.size());
        Surface surface;
        surface.attachImage(image);
        surface.putPixel(0, 0, row.written);
        EXPECT_EQ(std::vector<std::uint8_t>(image->pixels, image->pixels + image->pitch), row.stored);
        EXPECT_EQ(surface.getPixel(0, 0), row.readBack);

        // The row routines agree with the single-pixel ones.
        std::uint32_t sample = 0xDEADBEEFu;
        surface.getSpanClipped(&sample, 0, 0, 1, 4096);
        EXPECT_EQ(sample, row.readBack);
        std::memset(image->pixels, 0, static_cast<std::size_t>(image->pitch));
        surface.putSpanClipped(&row.written, 0, 0, 1);
        EXPECT_EQ(std::vector<std::uint8_t>(image->pixels, image->pixels + image->pitch), row.stored);
        destroyImage(image);
    }
}

TEST(PixelRoutines, SubBytePixelsKeepTheirNeighbours) {
    struct Case {
        PixelFormat format;
        int x;
        std::uint32_t value;
        std::uint8_t before;
        std::uint8_t after;  // byte x * bits / 8 after the write
        std::uint32_t readBack;
    };
    // Palette entry i is i * 0x111111 so that the nearest entry to 0x555555 is 5.
    const Case cases[] = {
        {INDEX4, 0, 5, 0xA7, 0x57, 5},          {INDEX4, 1, 5, 0xA7, 0xA5, 5},
        {INDEX4, 1, 0x1234, 0x00, 0x04, 4},     {PALETTE4, 0, 0x555555, 0xA7, 0x57, 0x555555},
        {PALETTE4, 3, 0x555555, 0xA7, 0xA5, 0x555555}, {MONOCHROME, 8, 1, 0x00, 0x80, 0x111111},
        {MONOCHROME, 15, 9, 0x00, 0x01, 0x111111}, {MONOCHROME, 9, 0, 0xFF, 0xBF, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << " x " << c.x);
        Color32 palette[256];
        for (int i = 0; i < 256; ++i) {
            palette[i] = 0x111111u * static_cast<unsigned>(i & 15);
        }
        Image* image = createImage(16, 1, c.format, palette, 256);
        ASSERT_NE(image, nullptr);
        const int byteIndex = c.x * bitsPerPixel(c.format) / 8;
        image->pixels[byteIndex] = c.before;
        Surface surface;
        surface.attachImage(image);
        surface.putPixel(c.x, 0, c.value);
        EXPECT_EQ(image->pixels[byteIndex], c.after);
        EXPECT_EQ(surface.getPixel(c.x, 0), c.readBack);
        destroyImage(image);
    }
}

TEST(PixelRoutines, NearestPaletteEntryTiesGoToLowestIndexAndIgnoreAlpha) {
    Color32 palette[256] = {};
    for (int i = 0; i < 256; ++i) {
        palette[i] = 0x00FFFFFFu;  // white: far from the colours written below
    }
    palette[3] = 0x00102030u;
    palette[7] = 0xFF102030u;  // same colour, other alpha
    palette[9] = 0x00112233u;
    palette[20] = 0x00405060u;  // beyond the 16 candidates of PALETTE4
    struct Case {
        PixelFormat format;
        Color32 value;
        int index;
    };
    const Case cases[] = {
        {PALETTE8, 0x80102030u, 3}, {PALETTE8, 0x00112234u, 9}, {PALETTE8, 0x00405060u, 20},
        {PALETTE4, 0x00405060u, 9}, {PALETTE4, 0xFF102030u, 3},
    };
    for (const Case& c : cases) {
        Image* image = createImage(2, 1, c.format, palette, 256);
        ASSERT_NE(image, nullptr);
        Surface surface;
        surface.attachImage(image);
        surface.putPixel(0, 0, c.value);
        const int stored = c.format == PALETTE4 ? image->pixels[0] >> 4 : image->pixels[0];
        EXPECT_EQ(stored, c.index) << std::hex << c.value;
        destroyImage(image);
    }
}

TEST(PixelRoutines, SinglePixelAccessOutsideTheSurfaceIsIgnored) {
    Image* image = createImage(2, 2, A8R8G8B8);
    ASSERT_NE(image, nullptr);
    Surface surface;
    surface.attachImage(image);
    const int positions[][2] = {{-1, 0}, {0, -1}, {2, 0}, {0, 2}, {-2147483647 - 1, 0}, {0, 2147483647}};
    for (const auto& p : positions) {
        surface.putPixel(p[0], p[1], 0xFFFFFFFFu);
        EXPECT_EQ(surface.getPixel(p[0], p[1]), 0u);
    }
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(image->pixels[i], 0) << i;
    }
    destroyImage(image);
}

}  // namespace
