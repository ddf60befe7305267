// Copying bitmaps with StretchBitmap: 1:1, scaled by nearest neighbour, partial sources, and
// copies that cannot be made. Rows are in picture order (top first) as GDI counts them; a
// bottom-up bitmap keeps its first stored row at the bottom.
#include <gtest/gtest.h>

#include "display/bitmap_handles.h"
#include "display/stretch_bitmap.h"
#include "platform/memory_dc.h"
#include "scene_fixture.h"

namespace {
// A 32-bit bitmap whose pixel at picture (x, y) is 0xFF000000 | y << 8 | x.
HBITMAP NumberedBitmap(int width, int height) {
    HBITMAP bitmap = CreateDib(width, height, 32);
    const BITMAP info = GetBitmapInfo(bitmap);
    auto* bytes = static_cast<std::uint8_t*>(info.bmBits);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(bytes + std::size_t(height - 1 - y) * info.bmWidthBytes);
        for (int x = 0; x < width; ++x) row[x] = 0xFF000000u | std::uint32_t(y) << 8 | std::uint32_t(x);
    }
    return bitmap;
}

// The picture pixel (x, y) of a 32-bit bottom-up bitmap.
std::uint32_t PictureAt(HBITMAP bitmap, int x, int y) {
    const BITMAP info = GetBitmapInfo(bitmap);
    return StoredPixel(info.bmBits, info.bmWidthBytes, x, info.bmHeight - 1 - y);
}

class StretchInto : public ::testing::Test {
protected:
    void SetUp() override {
        target = CreateDib(8, 6, 32);
        dc = CreateCompatibleDC(nullptr);
        SelectObject(dc, target);
    }
    void TearDown() override {
        DeleteDC(dc);
        DeleteBitmapHandle(target);
    }
    HBITMAP target = nullptr;
    CDC* dc = nullptr;
};
}  // namespace

TEST_F(StretchInto, SameSizeCopiesEveryPixelInPlace) {
    HBITMAP source = NumberedBitmap(8, 6);
    ASSERT_NE(StretchBitmap(dc, 0, 0, 8, 6, source, 0, 0, 0, 0), 0);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(PictureAt(target, x, y), PictureAt(source, x, y)) << x << "," << y;
    DeleteBitmapHandle(source);
}

TEST_F(StretchInto, DoublingRepeatsEachPixelNearestNeighbour) {
    HBITMAP source = NumberedBitmap(4, 3);
    // Destination size 0 means the source's size; here it is given.
    ASSERT_NE(StretchBitmap(dc, 0, 0, 8, 6, source, 0, 0, 4, 3), 0);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(PictureAt(target, x, y), PictureAt(source, x / 2, y / 2)) << x << "," << y;
    DeleteBitmapHandle(source);
}

TEST_F(StretchInto, SourceRectangleCountsRowsFromThePictureTop) {
    HBITMAP source = NumberedBitmap(4, 4);
    // The top-left 2 x 1 of the picture: its top row is the last row the bitmap stores.
    ASSERT_NE(StretchBitmap(dc, 3, 2, 0, 0, source, 1, 0, 2, 1), 0);
    EXPECT_EQ(PictureAt(target, 3, 2), 0xFF000001u);
    EXPECT_EQ(PictureAt(target, 4, 2), 0xFF000002u);
    EXPECT_EQ(PictureAt(target, 5, 2), 0u);  // nothing beyond the rectangle
    EXPECT_EQ(PictureAt(target, 3, 3), 0u);
    DeleteBitmapHandle(source);
}

TEST_F(StretchInto, ColoursArriveOpaque) {
    HBITMAP source = CreateDib(8, 6, 32);
    const BITMAP info = GetBitmapInfo(source);
    // The renderer leaves arbitrary alpha in its frame buffer; the window must not see it.
    static_cast<std::uint32_t*>(info.bmBits)[0] = 0x00123456u;
    ASSERT_NE(StretchBitmap(dc, 0, 0, 8, 6, source, 0, 0, 0, 0), 0);
    EXPECT_EQ(PictureAt(target, 0, 5), 0xFF123456u);
    DeleteBitmapHandle(source);
}

TEST_F(StretchInto, CopiesThatCannotBeMadeReportFailure) {
    HBITMAP source = NumberedBitmap(4, 4);
    HBITMAP deleted = NumberedBitmap(4, 4);
    DeleteBitmapHandle(deleted);
    EXPECT_EQ(StretchBitmap(dc, 0, 0, 8, 6, nullptr, 0, 0, 0, 0), 0);
    EXPECT_EQ(StretchBitmap(dc, 0, 0, 8, 6, deleted, 0, 0, 0, 0), 0);
    EXPECT_EQ(StretchBitmap(dc, 0, 0, 8, 6, source, 4, 0, 2, 2), 0);   // wholly outside
    EXPECT_EQ(StretchBitmap(dc, 0, 0, -8, 6, source, 0, 0, 0, 0), 0);  // mirrored copies are not made
    CDC* empty = CreateCompatibleDC(nullptr);
    EXPECT_EQ(StretchBitmap(empty, 0, 0, 8, 6, source, 0, 0, 0, 0), 0);
    DeleteDC(empty);
    EXPECT_EQ(PictureAt(target, 0, 0), 0u);
    // The stretch mode of the destination is put back.
    EXPECT_EQ(dc->GetStretchMode(), BLACKONWHITE);
    DeleteBitmapHandle(source);
}

TEST_F(StretchInto, ClippedSourcesShrinkTheDestinationInProportion) {
    HBITMAP source = NumberedBitmap(4, 3);
    // Asks for columns 2 to 5 of a 4-wide picture at 2x: only columns 2 and 3 exist.
    ASSERT_NE(StretchBitmap(dc, 0, 0, 8, 6, source, 2, 0, 4, 3), 0);
    EXPECT_EQ(PictureAt(target, 0, 0), 0xFF000002u);
    EXPECT_EQ(PictureAt(target, 3, 5), 0xFF000203u);
    EXPECT_EQ(PictureAt(target, 4, 0), 0u);
    DeleteBitmapHandle(source);
}
