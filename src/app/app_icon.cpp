#include "app/app_icon.h"

#include <array>
#include <cstring>

#include "assets/embedded_files.h"
#include "platform/bitmap_resource.h"

namespace {
using IconPixels = std::array<std::uint32_t, kAppIconSide * kAppIconSide>;

// The BMP stores the bottom row first and each pixel as blue, green, red, alpha bytes, which is
// 0xAARRGGBB read as a little-endian word.
bool DecodeIcon(IconPixels& pixels, const char* file) {
    HBITMAP bitmap = DibFromBmpFile(EmbeddedFile(file));
    BITMAP info{};
    const bool usable = GetObject(bitmap, sizeof info, &info) != 0 && info.bmWidth == kAppIconSide &&
                        info.bmHeight == kAppIconSide && info.bmBitsPixel == 32;
    if (usable) {
        const auto* bits = static_cast<const std::uint8_t*>(info.bmBits);
        for (int y = 0; y < kAppIconSide; ++y) {
            std::memcpy(&pixels[std::size_t(y) * kAppIconSide],
                        bits + std::size_t(kAppIconSide - 1 - y) * info.bmWidthBytes, kAppIconSide * 4);
        }
    }
    DeleteObject(bitmap);
    return usable;
}
}  // namespace

const std::uint32_t* AppIconPixels() {
    static IconPixels pixels{};
    static const bool decoded = DecodeIcon(pixels, "icon_101.bmp");
    return decoded ? pixels.data() : nullptr;
}

const std::uint32_t* ErrorIconPixels() {
    static IconPixels pixels{};
    static const bool decoded = DecodeIcon(pixels, "icon_error_103.bmp");
    return decoded ? pixels.data() : nullptr;
}
