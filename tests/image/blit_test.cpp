#include "image/blit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "image/surface.h"

namespace {

Image* makePattern(int width, int height, PixelFormat format = A8R8G8B8) {
    Image* image = createImage(width, height, format);
    Surface surface;
    surface.attachImage(image);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            surface.putPixel(x, y, 0xFF000000u | static_cast<std::uint32_t>(y << 12 | x));
        }
    }
    return image;
}

std::vector<std::uint32_t> pixelsOf(const Image* image) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image->width) * image->height);
    Surface surface;
    surface.attachImage(const_cast<Image*>(image));
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            pixels[static_cast<std::size_t>(y) * image->width + x] = surface.getPixel(x, y);
        }
    }
    return pixels;
}

void copy(Image* destination, int dx, int dy, int dw, int dh, const Image* source, int sx, int sy, int sw, int sh) {
    stretchBlit(destination->pixels, dx, dy, dw, dh, destination->width, destination->height, destination->format,
                destination->pitch, source->pixels, sx, sy, sw, sh, source->width, source->height, source->format,
                source->pitch);
}

TEST(StretchBlit, NearestNeighbourScaling) {
    Image* source = makePattern(2, 2);
    Image* large = createImage(4, 4, A8R8G8B8);
    Image* small = createImage(1, 1, A8R8G8B8);
    copy(large, 0, 0, 4, 4, source, 0, 0, 2, 2);
    const std::uint32_t p00 = 0xFF000000u, p10 = 0xFF000001u, p01 = 0xFF001000u, p11 = 0xFF001001u;
    const std::vector<std::uint32_t> blocks = {p00, p00, p10, p10, p00, p00, p10, p10,
                                               p01, p01, p11, p11, p01, p01, p11, p11};
    EXPECT_EQ(pixelsOf(large), blocks);
    copy(small, 0, 0, 1, 1, source, 0, 0, 2, 2);
    EXPECT_EQ(pixelsOf(small)[0], p00);
    destroyImage(source);
    destroyImage(large);
    destroyImage(small);
}

TEST(StretchBlit, ConvertsFormatsThroughColor32) {
    Image* source = createImage(2, 1, R8G8B8);
    const std::uint8_t bgr[6] = {0x10, 0x20, 0x30, 0xFF, 0x80, 0x00};
    std::memcpy(source->pixels, bgr, 6);
    Image* destination = createImage(2, 1, R5G6B5);
    copy(destination, 0, 0, 2, 1, source, 0, 0, 2, 1);
    EXPECT_EQ(pixelsOf(destination), (std::vector<std::uint32_t>{0x00302010u, 0x000080F8u}));
    destroyImage(source);
    destroyImage(destination);
}

// Reference: every destination pixel of the rectangle that lies inside the destination takes the
// source sample at its 20.12 position, or 0 outside the source; everything else stays as it was.
std::vector<std::uint32_t> referenceCopy(const std::vector<std::uint32_t>& before, int width, int height, int dx,
                                         int dy, int dw, int dh, const std::vector<std::uint32_t>& source,
                                         int sourceWidth, int sourceHeight, int sx, int sy, int sw, int sh) {
    std::vector<std::uint32_t> after = before;
    const long long du = (static_cast<long long>(sw) << 12) / dw;
    const long long dv = (static_cast<long long>(sh) << 12) / dh;
    for (long long j = 0; j < dh; ++j) {
        for (long long i = 0; i < dw; ++i) {
            const long long x = dx + i;
            const long long y = dy + j;
            if (x < 0 || y < 0 || x >= width || y >= height) {
                continue;
            }
            const long long column = ((static_cast<long long>(sx) << 12) + i * du) >> 12;
            const long long row = ((static_cast<long long>(sy) << 12) + j * dv) >> 12;
            const bool inside = column >= 0 && row >= 0 && column < sourceWidth && row < sourceHeight;
            after[y * width + x] = inside ? source[row * sourceWidth + column] : 0;
        }
    }
    return after;
}

// Rectangles partly or wholly outside either image, negative positions and mirrored source sizes:
// the copy matches the reference and (under the sanitizer) never touches memory outside either image.
TEST(StretchBlit, ClipsEveryRectangleToBothImages) {
    std::mt19937 random(777);
    auto between = [&](int low, int high) { return low + static_cast<int>(random() % (high - low + 1)); };
    for (int trial = 0; trial < 3000; ++trial) {
        const PixelFormat destinationFormat = trial % 3 == 0 ? X8R8G8B8 : A8R8G8B8;
        const PixelFormat sourceFormat = trial % 5 == 0 ? INDEX32 : A8R8G8B8;
        Image* source = makePattern(between(1, 9), between(1, 9), sourceFormat);
        Image* destination = makePattern(between(1, 9), between(1, 9), destinationFormat);
        const int dx = between(-12, 12), dy = between(-12, 12), dw = between(1, 20), dh = between(1, 20);
        const int sx = between(-12, 12), sy = between(-12, 12), sw = between(-20, 20), sh = between(-20, 20);
        const auto expected = referenceCopy(pixelsOf(destination), destination->width, destination->height, dx, dy,
                                            dw, dh, pixelsOf(source), source->width, source->height, sx, sy, sw, sh);
        copy(destination, dx, dy, dw, dh, source, sx, sy, sw, sh);
        auto got = pixelsOf(destination);
        if (destinationFormat == X8R8G8B8) {  // zeros read back opaque from X8R8G8B8
            for (std::size_t i = 0; i < got.size(); ++i) {
                ASSERT_EQ(got[i], expected[i] | 0xFF000000u) << "trial " << trial;
            }
        } else {
            ASSERT_EQ(got, expected) << "trial " << trial << ": " << dx << "," << dy << " " << dw << "x" << dh
                                     << " from " << sx << "," << sy << " " << sw << "x" << sh;
        }
        destroyImage(source);
        destroyImage(destination);
    }
}

TEST(StretchBlit, RefusesCoordinatesBeyondTheFixedPointRange) {
    const int limit = kMaxBlitCoordinate;
    struct Case {
        int dx, dy, dw, dh, sx, sy, sw, sh;
        bool copies;
    };
    const Case cases[] = {
        {0, 0, 4, 4, 0, 0, 4, 4, true},
        {0, 0, 4, 4, limit, 0, 4, 4, false},
        {0, 0, 4, 4, -limit, 0, 4, 4, false},
        {0, 0, 4, 4, 0, limit, 4, 4, false},
        {0, 0, 4, 4, 0, 0, limit, 4, false},
        {0, 0, 4, 4, 0, 0, 4, -limit, false},
        {0, 0, 4, 4, limit - 10, 0, 20, 4, false},      // far edge beyond the range
        {0, 0, 4, 4, limit - 10, 0, 5, 4, true},        // inside the range: reads zeros from outside
        {0, 0, limit, 4, 0, 0, 4, 4, false},
        {-limit, 0, 4, 4, 0, 0, 4, 4, false},
        {0, 0, 4, 4, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, false},
        {0, 0, 4, 4, -0x7FFFFFFF - 1, 0, 0x7FFFFFFF, 4, false},
        {0x7FFFFFFF, 0, 0x7FFFFFFF, 4, 0, 0, 4, 4, false},
        {0, 0, 0, 4, 0, 0, 4, 4, false},
        {0, 0, 4, -4, 0, 0, 4, 4, false},
    };
    for (const Case& c : cases) {
        Image* source = makePattern(4, 4);
        Image* destination = createImage(4, 4, A8R8G8B8);
        std::memset(destination->pixels, 0x55, 64);
        const auto before = pixelsOf(destination);
        copy(destination, c.dx, c.dy, c.dw, c.dh, source, c.sx, c.sy, c.sw, c.sh);
        EXPECT_EQ(pixelsOf(destination) != before, c.copies)
            << c.dx << "," << c.dy << " " << c.dw << "x" << c.dh << " from " << c.sx << "," << c.sy << " " << c.sw
            << "x" << c.sh;
        destroyImage(source);
        destroyImage(destination);
    }
}

TEST(StretchBlit, CopiesWithinOneImageReadTheRowBeforeWriting) {
    struct Case {
        int dx, dy, sx, sy;
        std::vector<std::uint32_t> expected;
    };
    const Case cases[] = {
        {1, 0, 0, 0, {1, 1, 2, 3, 5, 6, 7, 8}},   // overlapping rows, shifted right
        {0, 0, 1, 0, {2, 3, 4, 0, 5, 6, 7, 8}},   // shifted left: the last sample lies outside
        {0, 1, 0, 0, {1, 2, 3, 4, 1, 2, 3, 4}},   // row 0 onto row 1
    };
    for (const Case& c : cases) {
        Image* image = createImage(4, 2, A8R8G8B8);
        const std::uint32_t values[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        std::memcpy(image->pixels, values, sizeof(values));
        copy(image, c.dx, c.dy, 4, 1, image, c.sx, c.sy, 4, 1);
        EXPECT_EQ(pixelsOf(image), c.expected) << c.dx << "," << c.dy << " from " << c.sx << "," << c.sy;
        destroyImage(image);
    }
}

TEST(StretchBlit, MisalignedRowsAreCopiedThroughTheRowBuffer) {
    alignas(4) std::uint8_t destination[1 + 3 * 8] = {};
    const std::uint32_t source[3] = {0x11111111u, 0x22222222u, 0x33333333u};
    // Pitch 12 from an odd address: every row is misaligned for 32-bit words.
    stretchBlit(destination + 1, 0, 0, 3, 2, 3, 2, A8R8G8B8, 12, reinterpret_cast<const std::uint8_t*>(source), 0, 0,
                3, 1, 3, 1, A8R8G8B8, 12);
    std::uint32_t row1[3];
    std::memcpy(row1, destination + 1 + 12, 12);
    EXPECT_EQ(std::vector<std::uint32_t>(row1, row1 + 3), std::vector<std::uint32_t>(source, source + 3));
    EXPECT_EQ(destination[0], 0);
}

TEST(StretchBlit, WideRowsUseAHeapBuffer) {
    Image* source = makePattern(3000, 2);
    Image* destination = createImage(3000, 2, A8R8G8B8);
    copy(destination, 0, 0, 3000, 2, source, 0, 0, 3000, 2);
    EXPECT_EQ(pixelsOf(destination), pixelsOf(source));
    destroyImage(source);
    destroyImage(destination);
}

TEST(StretchBlit, AbsentPixelsDoNothing) {
    Image* destination = makePattern(2, 2);
    const auto before = pixelsOf(destination);
    stretchBlit(destination->pixels, 0, 0, 2, 2, 2, 2, A8R8G8B8, 8, nullptr, 0, 0, 2, 2, 2, 2, A8R8G8B8, 8);
    stretchBlitBlend(destination->pixels, 0, 0, 2, 2, 2, 2, A8R8G8B8, 8, nullptr, 0, 0, 2, 2, 2, 2, A8R8G8B8, 8);
    stretchBlit(nullptr, 0, 0, 2, 2, 2, 2, A8R8G8B8, 8, destination->pixels, 0, 0, 2, 2, 2, 2, A8R8G8B8, 8);
    blitImage(destination, 0, 0, 2, 2, nullptr, 0, 0, 2, 2);
    blitImageWhole(nullptr, destination);
    blendImageWhole(destination, nullptr);
    EXPECT_EQ(pixelsOf(destination), before);
    destroyImage(destination);
}

TEST(StretchBlitBlend, BlendsBySourceAlpha) {
    struct Case {
        Color32 below, over, expected;
    };
    const Case cases[] = {
        {0x00000000u, 0xFFFFFFFFu, 0xFEFEFEFEu},  // alpha 255 leaves 1/256 of the destination
        {0x12345678u, 0x00FFFFFFu, 0x12345678u},  // alpha 0 leaves the destination
        {0x00000000u, 0x80FF0000u, 0x407F0000u},  // alpha blended like the colours
    };
    for (const Case& c : cases) {
        Image* source = createImage(1, 1, A8R8G8B8);
        Image* destination = createImage(3, 1, A8R8G8B8);
        std::memcpy(source->pixels, &c.over, 4);
        for (int x = 0; x < 3; ++x) {
            std::memcpy(destination->pixels + 4 * x, &c.below, 4);
        }
        blendImage(destination, -1, 0, 3, 1, source, 0, 0, 1, 1);  // clipped on the left
        EXPECT_EQ(pixelsOf(destination), (std::vector<std::uint32_t>{c.expected, c.expected, c.below}))
            << std::hex << c.below << " " << c.over;
        destroyImage(source);
        destroyImage(destination);
    }
}

TEST(BlitImage, UsesTheImagesPalettesAndScalesWholeImages) {
    const Color32 palette[2] = {0xFF112233u, 0xFF445566u};
    Image* source = createImage(2, 1, PALETTE8, palette, 2);
    source->pixels[0] = 1;
    source->pixels[1] = 0;
    Image* destination = createImage(4, 2, A8R8G8B8);
    blitImageWhole(destination, source);
    EXPECT_EQ(pixelsOf(destination), (std::vector<std::uint32_t>{0xFF445566u, 0xFF445566u, 0xFF112233u, 0xFF112233u,
                                                                  0xFF445566u, 0xFF445566u, 0xFF112233u,
                                                                  0xFF112233u}));
    // Back into a palettised image: the destination palette decides the indices.
    Image* back = createImage(2, 1, PALETTE8, palette, 2);
    blitImageWhole(back, destination);
    EXPECT_EQ(back->pixels[0], 1);
    EXPECT_EQ(back->pixels[1], 0);
    destroyImage(source);
    destroyImage(destination);
    destroyImage(back);
}

TEST(BlitPalettes, CopyAtMost256AndKeepLaterEntries) {
    Color32 entries[300];
    for (int i = 0; i < 300; ++i) {
        entries[i] = 0xFF000000u | static_cast<std::uint32_t>(i);
    }
    EXPECT_EQ(setBlitSourcePalette(entries, 300), 256);
    EXPECT_EQ(setBlitDestinationPalette(entries, 7), 7);
    EXPECT_EQ(setBlitSourcePalette(nullptr, 5), 0);
    EXPECT_EQ(setBlitSourcePalette(entries, -1), 0);
    const Color32 red = 0xFFFF0000u;
    EXPECT_EQ(setBlitSourcePalette(&red, 1), 1);
    // Entry 0 replaced, entry 9 kept from the 300-entry load: read them through a palettised copy.
    std::uint8_t indices[2] = {0, 9};
    std::uint32_t out[2] = {};
    stretchBlit(reinterpret_cast<std::uint8_t*>(out), 0, 0, 2, 1, 2, 1, A8R8G8B8, 8, indices, 0, 0, 2, 1, 2, 1, PALETTE8,
                2);
    EXPECT_EQ(out[0], red);
    EXPECT_EQ(out[1], 0xFF000009u);
}

}  // namespace
