#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "image/surface.h"

namespace {

// A one-row surface over a heap block of exactly width pixels, so that the sanitizer build reports
// any read or write outside the row.
struct ExactRow {
    ExactRow(int width, PixelFormat format) : bytes(new std::uint8_t[static_cast<std::size_t>(width) * 4]) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t value = 0xFF000000u | static_cast<std::uint32_t>(x + 1);
            std::memcpy(bytes.get() + x * 4, &value, 4);
        }
        surface.attachNoPalette(bytes.get(), width, 1, format, width * 4);
    }
    std::unique_ptr<std::uint8_t[]> bytes;
    Surface surface;
};

// What a stepped read must give: pixel x + 1 (alpha 0xFF) inside, 0 outside.
std::uint32_t expectedSample(long long u, long long du, long long i, int width) {
    const long long column = (u + i * du) >> 12;
    return column >= 0 && column < width ? 0xFF000000u | static_cast<std::uint32_t>(column + 1) : 0;
}

TEST(SurfaceSpan, GetSpanClippedZeroFillsOutside) {
    ExactRow row(2, A8R8G8B8);
    struct Case {
        int u, count, du;
        std::vector<std::uint32_t> expected;
    };
    const std::uint32_t p0 = 0xFF000001u;
    const std::uint32_t p1 = 0xFF000002u;
    const Case cases[] = {
        {-8192, 4, 4096, {0, 0, p0, p1}},
        {0, 4, 4096, {p0, p1, 0, 0}},
        {8191, 3, -4096, {p1, p0, 0}},
        {0, 4, 2048, {p0, p0, p1, p1}},
        {4096, 3, 0, {p1, p1, p1}},
        {8192, 2, 0, {0, 0}},
        {INT_MIN, 2, INT_MAX, {0, 0}},
        {INT_MAX, 3, INT_MIN, {0, 0, 0}},
        {INT_MAX, 3, -2147479551, {0, p1, 0}},
    };
    for (const Case& c : cases) {
        std::vector<std::uint32_t> out(c.expected.size(), 0xDEADBEEFu);
        row.surface.getSpanClipped(out.data(), c.u, 0, c.count, c.du);
        EXPECT_EQ(out, c.expected) << c.u << " " << c.du;
    }
    std::uint32_t out[2] = {7, 7};
    row.surface.getSpanClipped(out, 0, 1, 2, 4096);  // row == height
    EXPECT_EQ(out[0], 0u);
    EXPECT_EQ(out[1], 0u);
    row.surface.getSpanClipped(out, 0, -1, 2, 4096);
    EXPECT_EQ(out[0], 0u);
}

// The direct A8R8G8B8 stepped read has no bounds check: the clipped run handed to it must stay in
// the row for every u, du and count. The generic path must give the same samples.
TEST(SurfaceSpan, SteppedReadsStayInsideTheRowForAnyStep) {
    std::mt19937 random(12345);
    const int specials[] = {INT_MIN, INT_MIN + 1, -1, 0, 1, 4095, 4096, 4097, INT_MAX, -4096, -4097};
    auto pick = [&](int range) {
        const unsigned choice = random() % 4;
        if (choice == 0) {
            return specials[random() % std::size(specials)];
        }
        if (choice == 1) {
            return static_cast<int>(random());
        }
        return static_cast<int>(random() % (2u * range)) - range;
    };
    for (PixelFormat format : {A8R8G8B8, X8R8G8B8}) {
        for (int width : {1, 2, 3, 17, 64}) {
            ExactRow row(width, format);
            for (int trial = 0; trial < 4000; ++trial) {
                const int u = pick(width * 4096 * 2);
                const int du = pick(8192);
                const int count = trial % 50 == 0 ? 3000 : static_cast<int>(random() % 70);
                std::vector<std::uint32_t> out(static_cast<std::size_t>(count));
                row.surface.getSpanClipped(out.data(), u, 0, count, du);
                for (int i = 0; i < count; ++i) {
                    const std::uint32_t expected = expectedSample(u, du, i, width);
                    const std::uint32_t got = format == A8R8G8B8 ? out[i] : (out[i] == 0 ? 0 : out[i] | 0xFF000000u);
                    if (got != expected) {
                        ADD_FAILURE() << "width " << width << " u " << u << " du " << du << " i " << i;
                        return;
                    }
                }
            }
        }
    }
}

TEST(SurfaceSpan, SteppedReadsStopAtColumn2Pow19) {
    const int width = kMaxSteppedColumns + 2;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width), 0xAAAAAAAAu);
    Surface surface;
    surface.attachNoPalette(reinterpret_cast<std::uint8_t*>(pixels.data()), width, 1, A8R8G8B8, width * 4);
    std::uint32_t out[3];
    surface.getSpanClipped(out, (kMaxSteppedColumns - 1) << 12, 0, 3, 4096);
    EXPECT_EQ(out[0], 0xAAAAAAAAu);
    EXPECT_EQ(out[1], 0u);
    EXPECT_EQ(out[2], 0u);
}

TEST(SurfaceSpan, PutSpanClippedKeepsTheInsidePart) {
    struct Case {
        int x, y, count;
        std::vector<std::uint32_t> row;  // the three pixels of row 0 afterwards
    };
    const Case cases[] = {
        {-2, 0, 5, {3, 4, 5}},
        {1, 0, 5, {0, 1, 2}},
        {0, 0, 2, {1, 2, 0}},
        {3, 0, 5, {0, 0, 0}},
        {-5, 0, 5, {0, 0, 0}},
        {0, 1, 5, {0, 0, 0}},   // y == height
        {0, -1, 5, {0, 0, 0}},
        {0, 0, 0, {0, 0, 0}},
        {0, 0, -3, {0, 0, 0}},
        {INT_MIN, 0, INT_MAX, {0, 0, 0}},
        {INT_MAX, 0, INT_MAX, {0, 0, 0}},
        {2, 0, INT_MAX, {0, 0, 1}},
        {-1, 0, INT_MAX, {2, 3, 4}},
    };
    const std::uint32_t values[] = {1, 2, 3, 4, 5, 6};
    for (PixelFormat format : {A8R8G8B8, INDEX32}) {
        for (const Case& c : cases) {
            auto bytes = std::make_unique<std::uint8_t[]>(12);
            Surface surface;
            surface.attachNoPalette(bytes.get(), 3, 1, format, 12);
            surface.putSpanClipped(values, c.x, c.y, c.count);
            std::vector<std::uint32_t> row(3);
            std::memcpy(row.data(), bytes.get(), 12);
            EXPECT_EQ(row, c.row) << format << ": x " << c.x << " y " << c.y << " count " << c.count;
        }
    }
}

TEST(SurfaceSpan, DetachedAndNewSurfacesAreEmpty) {
    std::uint32_t pixel = 0x12345678u;
    Surface surface;
    EXPECT_EQ(surface.format(), UNKNOWN);
    EXPECT_EQ(surface.pixels(), nullptr);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(surface.palette()[i], 0u) << i;
    }
    const Color32 palette[3] = {1, 2, 3};
    surface.attach(reinterpret_cast<std::uint8_t*>(&pixel), 1, 1, A8R8G8B8, 4, palette, 3);
    EXPECT_EQ(surface.palette()[2], 3u);
    EXPECT_EQ(surface.palette()[3], 0u);
    EXPECT_EQ(surface.getPixel(0, 0), 0x12345678u);
    surface.detach();
    EXPECT_EQ(surface.getPixel(0, 0), 0u);
    EXPECT_EQ(surface.width(), 0);
    EXPECT_EQ(surface.palette()[2], 0u);
    std::uint32_t out = 9;
    surface.getSpanClipped(&out, 0, 0, 1, 4096);
    EXPECT_EQ(out, 0u);
    surface.putSpanClipped(&out, 0, 0, 1);
    EXPECT_EQ(pixel, 0x12345678u);
}

TEST(SurfaceSpan, AbsentPixelsOrNegativeSidesGiveAnEmptySurface) {
    std::uint32_t pixel = 0x12345678u;
    auto* bytes = reinterpret_cast<std::uint8_t*>(&pixel);
    struct Case {
        std::uint8_t* pixels;
        int width, height;
    };
    const Case cases[] = {{nullptr, 4, 4}, {bytes, -1, 1}, {bytes, 1, -1}, {bytes, INT_MIN, INT_MIN}, {bytes, 0, 1}};
    for (const Case& c : cases) {
        Surface surface;
        surface.attachNoPalette(c.pixels, c.width, c.height, A8R8G8B8, 4);
        EXPECT_EQ(surface.width(), 0);
        EXPECT_EQ(surface.height(), 0);
        surface.putPixel(0, 0, 1);
        surface.putPixel(5, 0, 1);
        const std::uint32_t values[2] = {1, 2};
        surface.putSpanClipped(values, 0, 0, 2);
        surface.drawLine(0, 0, 3, 0, 1);
        std::uint32_t out[2] = {7, 7};
        surface.getSpanClipped(out, 0, 0, 2, 4096);
        EXPECT_EQ(out[0], 0u);
        EXPECT_EQ(surface.getPixel(0, 0), 0u);
        EXPECT_EQ(pixel, 0x12345678u);
    }
}

}  // namespace
