// DIB sections as the frame buffer uses them: records, row pitch, refusals, deletion.
#include <gtest/gtest.h>

#include "display/bitmap_handles.h"

TEST(Dib, RecordAndRowPitchForEachWidthAndBitCount) {
    const struct {
        int width, bits, pitch;
    } cases[] = {
        {1, 32, 4},  {3, 32, 12}, {320, 32, 1280}, {401, 32, 1604},
        {1, 24, 4},  {2, 24, 8},  {3, 24, 12},     {5, 24, 16},     {401, 24, 1204},
    };
    for (const auto& c : cases) {
        HBITMAP bitmap = CreateDib(c.width, 7, c.bits);
        ASSERT_NE(bitmap, nullptr) << c.width << " x " << c.bits;
        const BITMAP info = GetBitmapInfo(bitmap);
        EXPECT_EQ(info.bmType, 0);
        EXPECT_EQ(info.bmWidth, c.width);
        EXPECT_EQ(info.bmHeight, 7);
        EXPECT_EQ(info.bmWidthBytes, c.pitch) << c.width << " x " << c.bits;
        EXPECT_EQ(info.bmPlanes, 1);
        EXPECT_EQ(info.bmBitsPixel, c.bits);
        EXPECT_NE(info.bmBits, nullptr);
        EXPECT_EQ(DibRowPitch(bitmap), c.pitch) << c.width << " x " << c.bits;
        // New pixels are zero, to the end of the last row.
        const auto* bytes = static_cast<const std::uint8_t*>(info.bmBits);
        EXPECT_EQ(bytes[0], 0);
        EXPECT_EQ(bytes[7 * c.pitch - 1], 0);
        EXPECT_EQ(DeleteBitmapHandle(bitmap), nullptr);
    }
}

TEST(Dib, ShapesItCannotMakeGiveNull) {
    const struct {
        int width, height, bits;
    } cases[] = {
        {0, 10, 32}, {10, 0, 32}, {-4, 10, 32}, {10, -10, 32}, {10, 10, 8},
        {10, 10, 16}, {10, 10, 0}, {100000, 1, 32}, {1, 100000, 32},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CreateDib(c.width, c.height, c.bits), nullptr) << c.width << "x" << c.height << "x" << c.bits;
    }
}

TEST(Dib, UnknownHandlesReadAsZerosAndAreLeftAlone) {
    EXPECT_EQ(GetBitmapInfo(nullptr).bmWidth, 0);
    EXPECT_EQ(DibRowPitch(nullptr), 0);
    EXPECT_EQ(DeleteBitmapHandle(nullptr), nullptr);

    HBITMAP bitmap = CreateDib(8, 8, 32);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(DeleteBitmapHandle(bitmap), nullptr);
    // Deleted: no longer readable, and a second delete hands the stale handle back untouched.
    const BITMAP stale = GetBitmapInfo(bitmap);
    EXPECT_EQ(stale.bmWidth, 0);
    EXPECT_EQ(stale.bmBits, nullptr);
    EXPECT_EQ(DeleteBitmapHandle(bitmap), bitmap);

    int notABitmap = 0;
    EXPECT_EQ(GetBitmapInfo(reinterpret_cast<HBITMAP>(&notABitmap)).bmWidth, 0);
}
