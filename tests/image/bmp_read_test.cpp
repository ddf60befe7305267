// Reading bitmaps built byte by byte: layouts of every bit count, palettes, positions, and
// every kind of malformed file.

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "bmp_test_support.h"

namespace {

using namespace bmp_test;

// Stored rows of width x bits bits each, padded to 4 bytes; pixel bytes count up from seed and
// every padding byte is 0xEE, so a reader that keeps padding shows it.
Bytes patternRows(int width, int height, int bits, std::uint8_t seed) {
    const std::size_t pixelBytes = (std::size_t(width) * bits + 7) / 8;
    const std::size_t rowBytes = (std::size_t(width) * bits + 31) / 32 * 4;
    Bytes rows;
    for (int row = 0; row < height; ++row) {
        for (std::size_t i = 0; i < rowBytes; ++i) {
            rows.push_back(i < pixelBytes ? std::uint8_t(seed + row * 31 + i * 7) : std::uint8_t(0xEE));
        }
    }
    return rows;
}

// Entry i is stored as blue i, green 2i, red 255 - i and a fourth byte of 0x80.
Color32 opaqueEntry(int i) {
    return 0xFF000000u | std::uint32_t(255 - i) << 16 | std::uint32_t(2 * i & 0xFF) << 8 | std::uint32_t(i);
}

Bytes paletteBytes(int entries) {
    Bytes bytes;
    for (int i = 0; i < entries; ++i) {
        bytes.insert(bytes.end(), {std::uint8_t(i), std::uint8_t(2 * i), std::uint8_t(255 - i), 0x80});
    }
    return bytes;
}

struct LayoutCase {
    int bits;
    int width;
    PixelFormat format;
    int pitch;
    int paletteEntries;
};

TEST(BmpReadTest, EveryBitCountKeepsPixelBytesAndSkipsPadding) {
    const LayoutCase cases[] = {
        {1, 9, MONOCHROME, 2, 2},  {1, 32, MONOCHROME, 4, 2}, {4, 3, PALETTE4, 2, 16},
        {4, 5, PALETTE4, 3, 16},   {8, 5, PALETTE8, 5, 256},  {8, 8, PALETTE8, 8, 256},
        {16, 3, X1R5G5B5, 6, 0},   {24, 3, R8G8B8, 9, 0},     {24, 4, R8G8B8, 12, 0},
        {24, 5, R8G8B8, 15, 0},    {32, 5, A8R8G8B8, 20, 0},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE("bits " + std::to_string(c.bits) + " width " + std::to_string(c.width));
        BmpFile file;
        file.bitCount = std::uint16_t(c.bits);
        file.width = c.width;
        file.height = 3;
        file.palette = paletteBytes(c.paletteEntries);
        file.pixels = patternRows(c.width, 3, c.bits, 11);
        ImagePtr image = readBytes(file.build());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, c.width);
        EXPECT_EQ(image->height, 3);
        EXPECT_EQ(image->format, c.format);
        ASSERT_EQ(image->pitch, c.pitch);
        const std::size_t rowBytes = (std::size_t(c.width) * c.bits + 31) / 32 * 4;
        for (int row = 0; row < 3; ++row) {
            // Row 0 is the first stored row: file order, not picture order.
            const Bytes stored(file.pixels.begin() + std::ptrdiff_t(row * rowBytes),
                               file.pixels.begin() + std::ptrdiff_t(row * rowBytes + c.pitch));
            EXPECT_EQ(imageRow(image.get(), row, std::size_t(c.pitch)), stored) << "row " << row;
        }
    }
}

TEST(BmpReadTest, PaletteEntriesAreOpaqueWhateverTheFourthByte) {
    BmpFile file;
    file.bitCount = 8;
    file.palette = paletteBytes(256);
    std::memcpy(file.palette.data(), "\x10\x20\x30\x00", 4);
    file.pixels = {0, 0, 0, 0};
    ImagePtr image = readBytes(file.build());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->palette[0], 0xFF302010u);
    EXPECT_EQ(image->palette[5], 0xFFFA0A05u);
    EXPECT_EQ(image->palette[200], opaqueEntry(200));
    EXPECT_EQ(image->palette[255], 0xFF00FEFFu);

    // One-bit files carry two entries and four-bit files sixteen; the rest of the table stays empty.
    for (const auto& [bits, entries] : {std::pair{1, 2}, std::pair{4, 16}}) {
        file.bitCount = std::uint16_t(bits);
        file.palette = paletteBytes(entries);
        image = readBytes(file.build());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->palette[entries - 1], opaqueEntry(entries - 1)) << bits;
        EXPECT_EQ(image->palette[entries], 0u) << bits;
    }
}

TEST(BmpReadTest, ShortPaletteBeforeThePixelsLeavesTheRestBlack) {
    // Many writers store only the colours used; the pixels then begin right after a short table.
    BmpFile file;
    file.bitCount = 8;
    file.width = 4;
    file.palette = paletteBytes(16);
    file.pixels = {15, 3, 0, 9};
    ImagePtr image = readBytes(file.build());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->palette[15], 0xFFF01E0Fu);
    EXPECT_EQ(image->palette[16], 0xFF000000u);
    EXPECT_EQ(image->palette[255], 0xFF000000u);
    EXPECT_EQ(imageRow(image.get(), 0, 4), (Bytes{15, 3, 0, 9}));
}

TEST(BmpReadTest, HeaderSizeFieldDoesNotStopReading) {
    // A size of 40 or more is not trusted to describe the header: the 40 bytes Ferrox needs are read.
    for (std::uint32_t infoSize : {40u, 64u, 108u, 124u, 0xFFFFFFFFu}) {
        BmpFile file;
        file.infoSize = infoSize;
        file.width = 2;
        file.pixels = {1, 2, 3, 4, 5, 6, 0, 0};
        file.pixelOffset = 14 + 124;  // room for the biggest header
        ImagePtr image = readBytes(file.build());
        ASSERT_NE(image, nullptr) << infoSize;
        EXPECT_EQ(imageRow(image.get(), 0, 6), (Bytes{1, 2, 3, 4, 5, 6})) << infoSize;
    }
    // Below 16 bytes no header has the fields Ferrox needs; 12 is OS/2 1.x's, with 16-bit sizes.
    for (std::uint32_t infoSize : {0u, 4u, 12u, 15u}) {
        BmpFile file;
        file.infoSize = infoSize;
        file.width = 2;
        file.pixels = {1, 2, 3, 4, 5, 6, 0, 0};
        file.pixelOffset = 14 + 124;
        EXPECT_EQ(readBytes(file.build()), nullptr) << infoSize;
    }
}

// OS/2 2.x's information headers of 16 to 39 bytes keep the Windows fields in their places and
// leave the rest out: the colour table starts right after the header, the pixels may start before
// byte 54, and a compression field the header does not hold counts as none.
TEST(BmpReadTest, ShortOs2HeadersAreReadWithTheirOwnLayout) {
    for (std::uint32_t infoSize : {16u, 20u, 24u, 36u}) {
        SCOPED_TRACE("header of " + std::to_string(infoSize) + " bytes");
        BmpFile palettised;
        palettised.infoSize = infoSize;
        palettised.paletteAfterInfoSize = true;
        palettised.bitCount = 8;
        palettised.width = 3;
        palettised.height = 2;
        palettised.palette = paletteBytes(256);
        std::fill(palettised.palette.begin(), palettised.palette.begin() + 4, 0);  // entry 0: black, reserved 0
        palettised.pixels = {0, 5, 200, 0, 255, 6, 7, 0};
        ImagePtr image = readBytes(palettised.build());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->format, PALETTE8);
        EXPECT_EQ(image->width, 3);
        EXPECT_EQ(image->height, 2);
        EXPECT_EQ(image->palette[0], 0xFF000000u);
        EXPECT_EQ(image->palette[5], opaqueEntry(5));
        EXPECT_EQ(image->palette[200], opaqueEntry(200));
        EXPECT_EQ(image->palette[255], opaqueEntry(255));
        EXPECT_EQ(imageRow(image.get(), 0, 3), (Bytes{0, 5, 200}));
        EXPECT_EQ(imageRow(image.get(), 1, 3), (Bytes{255, 6, 7}));

        BmpFile truecolour;
        truecolour.infoSize = infoSize;
        truecolour.paletteAfterInfoSize = true;
        truecolour.width = 2;
        truecolour.pixels = {1, 2, 3, 4, 5, 6, 0, 0};  // at byte 14 + infoSize
        image = readBytes(truecolour.build());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->format, R8G8B8);
        EXPECT_EQ(imageRow(image.get(), 0, 6), (Bytes{1, 2, 3, 4, 5, 6}));

        // Pixels inside the short header, or a compression the header does hold, are refused.
        Bytes overlapping = truecolour.build();
        putLe32(overlapping, 10, 14 + infoSize - 1);
        EXPECT_EQ(readBytes(overlapping), nullptr);
        if (infoSize >= 20) {
            truecolour.compression = 1;
            EXPECT_EQ(readBytes(truecolour.build()), nullptr);
        }
    }
}

TEST(BmpReadTest, PaletteFollowsABiggerInformationHeader) {
    for (std::uint32_t infoSize : {108u, 124u}) {
        BmpFile file;
        file.infoSize = infoSize;
        file.bitCount = 8;
        file.paletteAfterInfoSize = true;
        file.palette = paletteBytes(256);
        file.pixels = {7, 0, 0, 0};
        ImagePtr image = readBytes(file.build());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->palette[7], 0xFFF80E07u) << infoSize;
        EXPECT_EQ(imageRow(image.get(), 0, 1), Bytes{7});
    }
}

TEST(BmpReadTest, OffsetsCountFromTheStartPosition) {
    BmpFile file;
    file.width = 3;
    file.height = 2;
    file.bitCount = 8;
    file.palette = paletteBytes(256);
    file.pixelOffset = 54 + 1024 + 10;  // a gap of junk between palette and pixels
    file.pixels = patternRows(3, 2, 8, 40);
    for (std::size_t prefix : {std::size_t{0}, std::size_t{1}, std::size_t{777}}) {
        Bytes bytes = file.build();
        std::fill(bytes.begin() + 54 + 1024, bytes.begin() + 54 + 1024 + 10, std::uint8_t(0x99));
        ImagePtr image = readBytes(bytes, prefix);
        ASSERT_NE(image, nullptr) << prefix;
        EXPECT_EQ(image->palette[2], 0xFFFD0402u);
        EXPECT_EQ(imageRow(image.get(), 0, 3), (Bytes{40, 47, 54})) << prefix;
        EXPECT_EQ(imageRow(image.get(), 1, 3), (Bytes{71, 78, 85})) << prefix;
    }
}

// One header field of an otherwise valid 2 x 2 24-bit file overwritten, or the file cut short.
struct RefusalCase {
    const char* what;
    std::size_t field;  // byte offset of the field in the file
    int fieldBytes;     // 2 or 4; 0 cuts the file to `value` bytes instead
    std::uint32_t value;
};

TEST(BmpReadTest, RefusesMalformedHeaders) {
    const RefusalCase cases[] = {
        {"empty file", 0, 0, 0},
        {"file header only", 0, 0, 14},
        {"information header cut short", 0, 0, 53},
        {"type not BM", 0, 2, 0x4142},
        {"type byte-swapped", 0, 2, 0x424D},
        {"width zero", 18, 4, 0},
        {"width negative", 18, 4, std::uint32_t(-3)},
        {"height zero", 22, 4, 0},
        {"height negative (top-down rows)", 22, 4, std::uint32_t(-2)},
        {"height most negative", 22, 4, 0x80000000u},
        {"run-length compression", 30, 4, 1},
        {"bit-field compression", 30, 4, 3},
        {"bit count 0", 28, 2, 0},
        {"bit count 2", 28, 2, 2},
        {"bit count 15", 28, 2, 15},
        {"bit count 64", 28, 2, 64},
        {"bit count 65535", 28, 2, 0xFFFF},
        {"width at int32 limit", 18, 4, 0x7FFFFFFF},
        {"height at int32 limit", 22, 4, 0x7FFFFFFF},
        {"one row over 2^28 pixels", 18, 4, (1u << 27) + 1},  // x 2 rows
        {"pixel offset inside the file header", 10, 4, 2},
        {"pixel offset inside the information header", 10, 4, 53},
        {"pixel offset one past the file", 10, 4, 54 + 16 + 1},
        {"pixel offset at 4 GiB", 10, 4, 0xFFFFFFFFu},
    };
    BmpFile file;
    file.width = 2;
    file.height = 2;
    file.pixels = Bytes(16, 0x5A);
    const Bytes valid = file.build();
    ASSERT_NE(readBytes(valid), nullptr);
    for (const RefusalCase& c : cases) {
        Bytes bytes = valid;
        if (c.fieldBytes == 4) putLe32(bytes, c.field, c.value);
        if (c.fieldBytes == 2) putLe16(bytes, c.field, c.value);
        if (c.fieldBytes == 0) bytes.resize(c.value);
        EXPECT_EQ(readBytes(bytes), nullptr) << c.what;
    }
}

TEST(BmpReadTest, RefusesAbsentFileAndUnknownModes) {
    BmpFile file;
    const Bytes bytes = file.build();
    EXPECT_EQ(readBmp(nullptr, kBmpReadMode), nullptr);
    for (int mode : {0, 2, -1}) {
        FilePtr stream = fileWith(bytes);
        EXPECT_EQ(readBmp(stream.get(), mode), nullptr) << mode;
    }
    FilePtr stream = fileWith(bytes);
    EXPECT_NE(ImagePtr(readBmp(stream.get(), kBmpReadMode)), nullptr);
}

TEST(BmpReadTest, MissingRowsAreZeroed) {
    BmpFile file;
    file.width = 3;  // rows of 9 pixel bytes and 3 padding bytes
    file.height = 4;
    file.pixels = patternRows(3, 4, 24, 1);
    const Bytes whole = file.build();
    // Cut inside the second row's pixels, inside its padding, and right after the headers.
    for (std::size_t kept : {std::size_t{12 + 5}, std::size_t{12 + 10}, std::size_t{0}}) {
        Bytes cut(whole.begin(), whole.begin() + std::ptrdiff_t(54 + kept));
        ImagePtr image = readBytes(cut);
        ASSERT_NE(image, nullptr) << kept;
        for (int row = 0; row < 4; ++row) {
            for (int i = 0; i < 9; ++i) {
                const std::size_t at = std::size_t(row) * 12 + std::size_t(i);
                const std::uint8_t expected = at < kept ? file.pixels[at] : 0;
                EXPECT_EQ(image->pixels[row * 9 + i], expected) << "kept " << kept << " row " << row << " byte " << i;
            }
        }
    }

    // Unpadded rows are read in one piece; a cut there zeroes from the cut on.
    file.bitCount = 32;
    file.pixels = patternRows(3, 4, 32, 1);
    Bytes cut = file.build();
    cut.resize(54 + 12 * 2 + 1);
    ImagePtr image = readBytes(cut);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixels[24], file.pixels[24]);
    for (int i = 25; i < 48; ++i) EXPECT_EQ(image->pixels[i], 0) << i;
}

TEST(BmpReadTest, LargestAllowedSizeIsReadWithZeroedPixels) {
    // 2^28 one-bit pixels is 32 MiB of image; the file holds none of its rows.
    BmpFile file;
    file.width = 16384;
    file.height = 16384;
    file.bitCount = 1;
    file.palette = paletteBytes(2);
    ImagePtr image = readBytes(file.build());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pitch, 2048);
    const std::size_t total = std::size_t(image->pitch) * std::size_t(image->height);
    std::size_t nonZero = 0;
    for (std::size_t i = 0; i < total; ++i) nonZero += image->pixels[i] != 0;
    EXPECT_EQ(nonZero, 0u);
}

}  // namespace
