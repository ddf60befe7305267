// The tray's alarm icon (icon_error_103.bmp) is compiled in and is the program's icon in red:
// the same shape pixel for pixel, with the molten orange turned to red.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <span>

#include "assets/embedded_files.h"
#include "image/bmp_file.h"

namespace {
struct ImageDeleter {
    void operator()(Image* image) const { destroyImage(image); }
};
using ImagePtr = std::unique_ptr<Image, ImageDeleter>;

ImagePtr ReadEmbedded(const char* name) {
    const std::span<const std::uint8_t> bytes = EmbeddedFile(name);
    std::FILE* file = std::tmpfile();
    if (file == nullptr || bytes.empty()) return nullptr;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    ImagePtr image(readBmp(file, kBmpReadMode));
    std::fclose(file);
    return image;
}

const std::uint8_t* PixelAt(const Image& image, int x, int y) { return image.pixels + y * image.pitch + x * 4; }
}  // namespace

TEST(AlarmIcon, IsTheProgramIconInRed) {
    const ImagePtr molten = ReadEmbedded("icon_101.bmp");
    const ImagePtr alarm = ReadEmbedded("icon_error_103.bmp");
    ASSERT_TRUE(molten && alarm) << "both icons must be embedded and readable";
    ASSERT_EQ(alarm->width, 64);
    ASSERT_EQ(alarm->height, 64);
    ASSERT_EQ(alarm->format, A8R8G8B8);

    int painted = 0, letter = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const std::uint8_t* m = PixelAt(*molten, x, y);  // blue, green, red, alpha
            const std::uint8_t* a = PixelAt(*alarm, x, y);
            ASSERT_EQ(a[3], m[3]) << "the outline differs at " << x << "," << y;
            if (a[3] < 255) continue;
            if (m[0] > 240 && m[1] > 240 && m[2] > 240) {
                // The white letter stays white.
                EXPECT_TRUE(a[0] > 240 && a[1] > 240 && a[2] > 240) << "letter at " << x << "," << y;
                ++letter;
                continue;
            }
            if (m[0] > 60) continue;  // white mixed in along the letter's edge
            ++painted;
            // Red with little green: orange (green at a third or more of red) would not read as
            // an alarm next to the program's own icon.
            EXPECT_LT(a[1] * 3, a[2]) << "not red at " << x << "," << y;
        }
    }
    EXPECT_GT(letter, 300);
    EXPECT_GT(painted, 1500);
}
