// Resources of the executable come before the table's: a BITMAP resource (ferrox.rc's kind) loads
// as the same picture as the BMP file it was made from, and an icon falls back to the table.

#include <gtest/gtest.h>

#include <cstring>

#include "assets/embedded_files.h"
#include "platform/bitmap_resource.h"
#include "platform/resources.h"
#include "platform/win32/icon_object.h"

namespace {

constexpr unsigned kLogoId = 113;  // test_resources.rc
constexpr unsigned kIconId = 7;

TEST(Win32ResourcesTest, BitmapResourcesOfTheExecutableLoadAsTheirBmpFiles) {
    // No table at all: the executable's own resources are still there.
    AfxSetResourceTable(nullptr);
    const BitmapResource* resource = FindBitmapResource(kLogoId);
    ASSERT_NE(resource, nullptr);
    const std::span<const std::uint8_t> file = EmbeddedFile("logo_113.bmp");
    ASSERT_FALSE(file.empty());
    // The file header put back in front of the resource makes the very same file.
    ASSERT_EQ(resource->file.size(), file.size());
    EXPECT_EQ(std::memcmp(resource->file.data(), file.data(), file.size()), 0);

    HBITMAP fromModule = LoadImage(AfxGetResourceHandle(), kLogoId, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    HBITMAP fromFile = DibFromBmpFile(file);
    ASSERT_NE(fromModule, nullptr);
    ASSERT_NE(fromFile, nullptr);
    BITMAP a{}, b{};
    ASSERT_NE(GetObject(fromModule, sizeof a, &a), 0);
    ASSERT_NE(GetObject(fromFile, sizeof b, &b), 0);
    EXPECT_EQ(a.bmWidth, b.bmWidth);
    EXPECT_EQ(a.bmHeight, b.bmHeight);
    EXPECT_EQ(a.bmBitsPixel, b.bmBitsPixel);
    EXPECT_EQ(std::memcmp(a.bmBits, b.bmBits, std::size_t(a.bmWidthBytes) * a.bmHeight), 0);
    DeleteObject(fromModule);
    DeleteObject(fromFile);
    EXPECT_EQ(FindBitmapResource(kLogoId + 1), nullptr);
}

TEST(Win32ResourcesTest, IconsWithoutAnIconResourceAreMadeFromTheTable) {
    static std::uint32_t pixels[16 * 16];
    for (std::uint32_t& pixel : pixels) pixel = 0xFFC04010u;
    const IconResource icons[] = {{kIconId, 16, 16, pixels}, {kIconId + 1, 16, 16, nullptr}};
    const ResourceTable table{{}, {}, icons};
    AfxSetResourceTable(&table);
    HICON icon = LoadIcon(kIconId);
    ASSERT_NE(icon, nullptr);
    EXPECT_NE(icon->large, nullptr);
    EXPECT_EQ(LoadIcon(kIconId), icon);       // made once
    EXPECT_EQ(LoadIcon(kIconId + 1), nullptr);  // no pixels
    EXPECT_EQ(LoadIcon(kIconId + 2), nullptr);  // no such icon
    AfxSetResourceTable(nullptr);
}

}  // namespace
