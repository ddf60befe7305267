// Bitmaps exchanged with ImageMagick: files it made (tests/image/data, see make-fixtures.sh) are
// read with the pixels they were drawn with, and files Ferrox writes are read by its convert with
// the pixels Ferrox put in.

#include <cstdlib>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "bmp_test_support.h"

namespace {

using namespace bmp_test;

std::string dataPath(const char* name) {
    const char* folder = std::getenv("FERROX_TEST_DATA");
    return std::string(folder != nullptr ? folder : "tests/image/data") + "/" + name;
}

std::string scratchPath(const char* stem) {
    std::random_device random;
    return ::testing::TempDir() + "ferrox_" + stem + "_" + std::to_string(random()) + ".bmp";
}

// The colour of pixel x in image row `row`, resolved through the palette for palette formats.
// Packed pixels follow the file's order: the most significant bits hold the leftmost pixel.
Color32 colourAt(const Image* image, int x, int row) {
    const std::uint8_t* line = image->pixels + std::ptrdiff_t(row) * image->pitch;
    switch (image->format) {
    case MONOCHROME: return image->palette[line[x / 8] >> (7 - x % 8) & 1];
    case PALETTE4: return image->palette[x % 2 == 0 ? line[x / 2] >> 4 : line[x / 2] & 0xF];
    case PALETTE8: return image->palette[line[x]];
    case R8G8B8: return 0xFF000000u | std::uint32_t(line[3 * x + 2]) << 16 | line[3 * x + 1] << 8 | line[3 * x];
    case A8R8G8B8:
        return std::uint32_t(line[4 * x + 3]) << 24 | std::uint32_t(line[4 * x + 2]) << 16 | line[4 * x + 1] << 8 |
               line[4 * x];
    default: return 0;
    }
}

Color32 rgb(int r, int g, int b, int a = 255) {
    return std::uint32_t(a) << 24 | std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
}

// The formulas make-fixtures.sh draws with; y counts down from the picture's top row.
Color32 mono(int x, int y) { return (x + y) % 3 == 0 ? rgb(255, 255, 255) : rgb(0, 0, 0); }
Color32 pal4(int x, int y) {
    const int k = (x + 2 * y) % 7;
    return rgb(36 * k, 255 - 36 * k, 80 * k % 256);
}
Color32 pal8(int x, int y) { return rgb(28 * x, 100 * y + 5, 37 * x * y % 256); }
Color32 truecolour(int x, int y) { return rgb(40 * x + 10, 90 * y + 20, 30 * (x + y)); }
Color32 withAlpha(int x, int y) { return (truecolour(x, y) & 0xFFFFFF) | std::uint32_t(255 - 40 * x - 20 * y) << 24; }

TEST(BmpInteropTest, ReadsImageMagickFixturesWithTheirDrawnPixels) {
    const struct {
        const char* file;
        int width, height;
        PixelFormat format;
        Color32 (*colour)(int x, int y);
    } fixtures[] = {
        {"mono_7x2.bmp", 7, 2, MONOCHROME, mono},     {"pal4_5x3.bmp", 5, 3, PALETTE4, pal4},
        {"pal8_9x2.bmp", 9, 2, PALETTE8, pal8},       {"rgb24_5x3.bmp", 5, 3, R8G8B8, truecolour},
        {"rgb24_7x2.bmp", 7, 2, R8G8B8, truecolour},  {"argb32_5x3.bmp", 5, 3, A8R8G8B8, withAlpha},
        {"rgb24_v5_5x3.bmp", 5, 3, R8G8B8, truecolour}, {"pal8_v5_9x2.bmp", 9, 2, PALETTE8, pal8},
    };
    for (const auto& f : fixtures) {
        SCOPED_TRACE(f.file);
        ImagePtr image(loadImageFile(dataPath(f.file).c_str()));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, f.width);
        EXPECT_EQ(image->height, f.height);
        ASSERT_EQ(image->format, f.format);
        for (int row = 0; row < f.height; ++row) {
            for (int x = 0; x < f.width; ++x) {
                // ImageMagick stores the picture bottom-up, and row 0 is the first row stored.
                EXPECT_EQ(colourAt(image.get(), x, row), f.colour(x, f.height - 1 - row)) << x << "," << row;
            }
        }
    }
}

bool imageMagickPresent() { return std::system("convert -version > /dev/null 2>&1") == 0; }

// The picture ImageMagick sees in a file, as 8-bit RGBA bytes from the top row down.
Bytes picturePerImageMagick(const std::string& path) {
    const std::string raw = path + ".rgba";
    const std::string command = "convert '" + path + "' -depth 8 rgba:'" + raw + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    Bytes bytes = contentsOf(raw.c_str());
    std::remove(raw.c_str());
    return bytes;
}

TEST(BmpInteropTest, ImageMagickReadsWhatFerroxWrites) {
    if (!imageMagickPresent()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    const int width = 7, height = 3;
    const struct {
        PixelFormat format;
        int bits;
    } cases[] = {{MONOCHROME, 1}, {PALETTE4, 4}, {PALETTE8, 8}, {R8G8B8, 24}, {A8R8G8B8, 32}};
    for (const auto& c : cases) {
        SCOPED_TRACE("bits " + std::to_string(c.bits));
        ImagePtr image(createImage(width, height, c.format));
        ASSERT_NE(image, nullptr);
        const int colours = c.bits <= 8 ? 1 << c.bits : 0;
        for (int i = 0; i < colours; ++i) image->palette[i] = rgb(i * 251 % 256, i * 37 % 256, 255 - i);
        // Pixel values from a formula: indices for palette formats, colour bytes otherwise.
        for (int y = 0; y < height; ++y) {
            std::uint8_t* line = image->pixels + std::ptrdiff_t(y) * image->pitch;
            for (int x = 0; x < width; ++x) {
                const int value = x * 5 + y * 11 + 3;
                if (c.bits == 1) line[x / 8] |= std::uint8_t((value & 1) << (7 - x % 8));
                if (c.bits == 4) line[x / 2] |= std::uint8_t((value & 15) << (x % 2 == 0 ? 4 : 0));
                if (c.bits == 8) line[x] = std::uint8_t(value * 9);
                if (c.bits >= 24) {
                    for (int b = 0; b < c.bits / 8; ++b) line[x * c.bits / 8 + b] = std::uint8_t(value * (b + 3) + 8);
                }
            }
        }
        const std::string path = scratchPath("interop");
        ASSERT_TRUE(saveBmpFile(path.c_str(), image.get(), 0));
        const Bytes seen = picturePerImageMagick(path);
        std::remove(path.c_str());
        ASSERT_EQ(seen.size(), std::size_t(width * height * 4));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                // Ferrox's row 0 is stored last, so it is the top of the picture.
                const Color32 expected = colourAt(image.get(), x, y);
                const std::uint8_t* p = &seen[std::size_t((y * width + x) * 4)];
                EXPECT_EQ(rgb(p[0], p[1], p[2], p[3]), expected) << x << "," << y;
            }
        }
    }
}

}  // namespace
