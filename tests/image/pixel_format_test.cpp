#include "image/pixel_format.h"

#include <gtest/gtest.h>

#include "image/small_string.h"

namespace {

struct FormatRow {
    std::uint32_t value;
    const char* name;  // null: no name
    int bits;
    PixelFormat swapped;
    PixelFormat withAlpha;
    PixelFormat opaque;
    bool alpha;
};

// Every value of the catalogue plus two beyond it.
const FormatRow kRows[] = {
    {0, "UNKNOWN", 0, UNKNOWN, UNKNOWN, UNKNOWN, false},
    {1, "A8R8G8B8", 32, A8B8G8R8, A8R8G8B8, X8R8G8B8, true},
    {2, "X8R8G8B8", 32, X8B8G8R8, A8R8G8B8, X8R8G8B8, false},
    {3, "R8G8B8", 24, B8G8R8, UNKNOWN, R8G8B8, false},
    {4, "A4R4G4B4", 16, A4B4G4R4, A4R4G4B4, X4R4G4B4, true},
    {5, "X4R4G4B4", 16, X4B4G4R4, A4R4G4B4, X4R4G4B4, false},
    {6, "A1R5G5B5", 16, A1B5G5R5, A1R5G5B5, X1R5G5B5, true},
    {7, "X1R5G5B5", 16, X1B5G5R5, A1R5G5B5, X1R5G5B5, false},
    {8, "R5G6B5", 16, B5G6R5, UNKNOWN, R5G6B5, false},
    {9, "A8B8G8R8", 32, A8R8G8B8, A8B8G8R8, X8B8G8R8, true},
    {10, "X8B8G8R8", 32, X8R8G8B8, A8B8G8R8, X8B8G8R8, false},
    {11, "B8G8R8", 24, R8G8B8, UNKNOWN, B8G8R8, false},
    {12, "A4B4G4R4", 16, A4R4G4B4, A4B4G4R4, X4B4G4R4, true},
    {13, "X4B4G4R4", 16, X4R4G4B4, A4B4G4R4, X4B4G4R4, false},
    {14, "A1B5G5R5", 16, A1R5G5B5, A1B5G5R5, X1B5G5R5, true},
    {15, "X1B5G5R5", 16, X1R5G5B5, A1B5G5R5, X1B5G5R5, false},
    {16, "B5G6R5", 16, R5G6B5, UNKNOWN, B5G6R5, false},
    {17, nullptr, 0, PixelFormat(17), UNKNOWN, PixelFormat(17), false},
    {18, "GRAYSCALE8", 8, GRAYSCALE8, UNKNOWN, GRAYSCALE8, false},
    {19, "PALETTE8", 8, PALETTE8, PALETTE8, PALETTE8, true},
    {20, "PALETTE4", 4, PALETTE4, PALETTE4, PALETTE4, true},
    {21, "MONOCHROME", 1, MONOCHROME, UNKNOWN, MONOCHROME, false},
    {22, "INDEX32", 32, INDEX32, UNKNOWN, INDEX32, false},
    {23, "INDEX24", 24, INDEX24, UNKNOWN, INDEX24, false},
    {24, "INDEX16", 16, INDEX16, UNKNOWN, INDEX16, false},
    {25, "INDEX8", 8, INDEX8, UNKNOWN, INDEX8, false},
    {26, "INDEX4", 4, INDEX4, UNKNOWN, INDEX4, false},
    {27, "ZBUFFER32", 32, ZBUFFER32, UNKNOWN, ZBUFFER32, false},
    {28, nullptr, 0, PixelFormat(28), UNKNOWN, PixelFormat(28), false},
    {0xFFFFFFFFu, nullptr, 0, PixelFormat(0xFFFFFFFFu), UNKNOWN, PixelFormat(0xFFFFFFFFu), false},
};

TEST(PixelFormat, CatalogueTable) {
    for (const FormatRow& row : kRows) {
        SCOPED_TRACE(row.value);
        const PixelFormat format = static_cast<PixelFormat>(row.value);
        EXPECT_EQ(bitsPerPixel(format), row.bits);
        EXPECT_EQ(swapRedBlue(format), row.swapped);
        EXPECT_EQ(alphaVariant(format), row.withAlpha);
        EXPECT_EQ(opaqueVariant(format), row.opaque);
        EXPECT_EQ(hasAlpha(format), row.alpha);
        SmallString name("untouched");
        formatName(format, name);
        EXPECT_STREQ(name.text(), row.name != nullptr ? row.name : "untouched");
        if (row.name != nullptr) {
            EXPECT_EQ(formatFromName(row.name), format);
        }
    }
}

TEST(PixelFormat, PackedRowBytes) {
    struct Case {
        int width;
        PixelFormat format;
        int bytes;
    };
    const Case cases[] = {
        {3, PALETTE4, 2},   {9, MONOCHROME, 2},    {5, R8G8B8, 15},          {8, MONOCHROME, 1},
        {1, A8R8G8B8, 4},   {0, A8R8G8B8, 0},      {-4, A8R8G8B8, 0},        {7, PixelFormat(17), 0},
        {3, INDEX24, 9},    {1, INDEX4, 1},        {0x7FFFFFFF, A8R8G8B8, 0}, {0x7FFFFFFF, MONOCHROME, 0x10000000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(packedRowBytes(c.width, c.format), c.bytes) << c.width << " " << c.format;
    }
}

TEST(PixelFormat, FormatFromBitCount) {
    const std::pair<int, PixelFormat> cases[] = {
        {1, MONOCHROME}, {4, PALETTE4}, {8, PALETTE8}, {16, X1R5G5B5}, {24, R8G8B8},
        {32, A8R8G8B8},  {2, UNKNOWN},  {15, UNKNOWN}, {0, UNKNOWN},   {-1, UNKNOWN},
    };
    for (const auto& [bits, format] : cases) {
        EXPECT_EQ(formatFromBitCount(bits), format) << bits;
    }
}

TEST(PixelFormat, ChannelMasks) {
    struct Case {
        PixelFormat format;
        bool present;
        std::uint32_t a, r, g, b;
    };
    const Case cases[] = {
        {A8R8G8B8, true, 0xFF000000u, 0xFF0000u, 0xFF00u, 0xFFu},
        {R8G8B8, true, 0, 0xFF0000u, 0xFF00u, 0xFFu},
        {A4R4G4B4, true, 0xF000u, 0x0F00u, 0x00F0u, 0x000Fu},
        {R5G6B5, true, 0, 0xF800u, 0x07E0u, 0x001Fu},
        {A1B5G5R5, true, 0x8000u, 0x001Fu, 0x03E0u, 0x7C00u},
        {B5G6R5, true, 0, 0x001Fu, 0x07E0u, 0xF800u},
        {GRAYSCALE8, true, 0, 0xFFu, 0xFFu, 0xFFu},
        {MONOCHROME, true, 0, 1, 1, 1},
        {PALETTE8, false, 0, 0, 0, 0},
        {INDEX32, false, 0, 0, 0, 0},
        {ZBUFFER32, false, 0, 0, 0, 0},
        {PixelFormat(17), false, 0, 0, 0, 0},
        {PixelFormat(99), false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        std::uint32_t a = 7, r = 7, g = 7, b = 7;
        EXPECT_EQ(channelMasks(c.format, a, r, g, b), c.present) << c.format;
        EXPECT_EQ(a, c.a);
        EXPECT_EQ(r, c.r);
        EXPECT_EQ(g, c.g);
        EXPECT_EQ(b, c.b);
    }
}

TEST(PixelFormat, FormatFromNameIgnoresCaseAndRejectsStrangers) {
    const std::pair<const char*, PixelFormat> cases[] = {
        {"a8r8g8b8", A8R8G8B8}, {"Palette4", PALETTE4}, {"", UNKNOWN},          {"A8R8G8B", UNKNOWN},
        {"A8R8G8B8 ", UNKNOWN}, {"unknown", UNKNOWN},   {nullptr, UNKNOWN},     {"zbuffer32", ZBUFFER32},
    };
    for (const auto& [text, format] : cases) {
        EXPECT_EQ(formatFromName(text), format) << (text != nullptr ? text : "(null)");
    }
}

}  // namespace
