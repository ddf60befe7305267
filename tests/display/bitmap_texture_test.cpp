// The logo's bitmap resources loaded into textures, and resources that cannot be read.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "display/animation_scene.h"
#include "display/bitmap_texture.h"
#include "platform/bitmap_resource.h"
#include "scene_fixture.h"

namespace {
class BitmapTextures : public WithBitmapResources {};

std::uint32_t Read32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

void Write32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

void Write16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
    std::memcpy(bytes.data() + at, &value, 2);
}

// A 2 x 2, 32-bit BMP file with a 40-byte header; stored rows as given, first stored row first.
std::vector<std::uint8_t> SmallBmp(std::int32_t height, const std::uint32_t (&rows)[2][2]) {
    std::vector<std::uint8_t> bytes(54 + 16, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    Write32(bytes, 2, std::uint32_t(bytes.size()));
    Write32(bytes, 10, 54);
    Write32(bytes, 14, 40);
    Write32(bytes, 18, 2);
    Write32(bytes, 22, std::uint32_t(height));
    Write16(bytes, 26, 1);
    Write16(bytes, 28, 32);
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 2; ++x) Write32(bytes, 54 + 8 * row + 4 * x, rows[row][x]);
    return bytes;
}
}  // namespace

TEST_F(BitmapTextures, ThePicturesLoadWithTheirSizesAndRowsAsStored) {
    const struct {
        unsigned id;
        int width, height, bits;
    } cases[] = {
        {kBackgroundBitmapId, 256, 256, 24},
        {kLogoBitmapId, 512, 128, 32},
        {kGlowBitmapId, 512, 128, 32},
    };
    for (const auto& c : cases) {
        std::unique_ptr<Texture> texture(LoadBitmapTexture(AfxGetResourceHandle(), c.id));
        ASSERT_NE(texture, nullptr) << c.id;
        EXPECT_EQ(texture->levelCount(), 1);
        EXPECT_EQ(texture->textureFormat(), A8R8G8B8);
        EXPECT_EQ(texture->levelWidth(0), c.width);
        EXPECT_EQ(texture->levelHeight(0), c.height);

        // Texture row 0 is the file's first stored row (the picture's bottom row).
        const std::span<const std::uint8_t> bmp = FindBitmapResource(c.id)->file;
        const int bytesPerPixel = c.bits / 8;
        const int pitch = (c.width * bytesPerPixel + 3) / 4 * 4;
        const std::size_t pixelOffset = bmp[10] | bmp[11] << 8;
        for (int row : {0, 1, c.height / 2, c.height - 1}) {
            for (int x : {0, c.width / 3, c.width / 2, c.width - 1}) {
                const std::uint8_t* p = bmp.data() + pixelOffset + std::size_t(row) * pitch + std::size_t(x) * bytesPerPixel;
                const std::uint32_t alpha = c.bits == 32 ? p[3] : 0xFFu;
                const std::uint32_t expected = alpha << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
                ASSERT_EQ(Texel(*texture, x, row), expected) << c.id << " (" << x << ", " << row << ")";
            }
        }
    }
}

TEST_F(BitmapTextures, MissingResourcesAndOtherModulesGiveNull) {
    EXPECT_EQ(LoadBitmapTexture(AfxGetResourceHandle(), 999), nullptr);
    EXPECT_EQ(LoadBitmapTexture(nullptr, kLogoBitmapId), nullptr);
    EXPECT_EQ(LoadImage(AfxGetResourceHandle(), kLogoBitmapId, IMAGE_BITMAP + 1, 0, 0, LR_CREATEDIBSECTION), nullptr);
    EXPECT_EQ(LoadImage(AfxGetResourceHandle(), kLogoBitmapId, IMAGE_BITMAP, 16, 16, LR_CREATEDIBSECTION), nullptr);
}

TEST_F(BitmapTextures, DamagedFilesGiveNullNeverAReadPastTheirEnd) {
    const std::span<const std::uint8_t> logo = FindBitmapResource(kLogoBitmapId)->file;
    const std::vector<std::uint8_t> good(logo.begin(), logo.end());
    using Damage = void (*)(std::vector<std::uint8_t>&);
    const struct {
        const char* what;
        Damage damage;
    } cases[] = {
        {"empty", [](std::vector<std::uint8_t>& b) { b.clear(); }},
        {"file header only", [](std::vector<std::uint8_t>& b) { b.resize(14); }},
        {"one byte short of the headers", [](std::vector<std::uint8_t>& b) { b.resize(53); }},
        {"headers only", [](std::vector<std::uint8_t>& b) { b.resize(54); }},
        {"last pixel missing", [](std::vector<std::uint8_t>& b) { b.pop_back(); }},
        {"not BM", [](std::vector<std::uint8_t>& b) { b[1] = 'A'; }},
        {"core header", [](std::vector<std::uint8_t>& b) { Write32(b, 14, 12); }},
        {"header past the end", [](std::vector<std::uint8_t>& b) { Write32(b, 14, 0x7FFFFFF0u); }},
        {"zero width", [](std::vector<std::uint8_t>& b) { Write32(b, 18, 0); }},
        {"negative width", [](std::vector<std::uint8_t>& b) { Write32(b, 18, 0xFFFFFE00u); }},
        {"zero height", [](std::vector<std::uint8_t>& b) { Write32(b, 22, 0); }},
        {"most negative height", [](std::vector<std::uint8_t>& b) { Write32(b, 22, 0x80000000u); }},
        {"taller than the data", [](std::vector<std::uint8_t>& b) { Write32(b, 22, 129); }},
        {"huge", [](std::vector<std::uint8_t>& b) { Write32(b, 18, 0x7FFFFFFFu); }},
        {"two planes", [](std::vector<std::uint8_t>& b) { Write16(b, 26, 2); }},
        {"8 bits", [](std::vector<std::uint8_t>& b) { Write16(b, 28, 8); }},
        {"compressed", [](std::vector<std::uint8_t>& b) { Write32(b, 30, 3); }},
        {"pixels inside the header", [](std::vector<std::uint8_t>& b) { Write32(b, 10, 20); }},
        {"pixels past the end", [](std::vector<std::uint8_t>& b) { Write32(b, 10, Read32(b, 2) + 4); }},
        {"pixel offset wraps", [](std::vector<std::uint8_t>& b) { Write32(b, 10, 0xFFFFFFF0u); }},
    };
    for (const auto& c : cases) {
        // An exact-size heap copy, so that AddressSanitizer sees any read past the end.
        std::vector<std::uint8_t> damaged = good;
        c.damage(damaged);
        auto exact = std::make_unique<std::uint8_t[]>(damaged.size());
        std::copy(damaged.begin(), damaged.end(), exact.get());
        const std::span<const std::uint8_t> bytes(exact.get(), damaged.size());
        EXPECT_EQ(DibFromBmpFile(bytes), nullptr) << c.what;
        const BitmapResource resource[] = {{kLogoBitmapId, bytes}};
        UseBitmaps(resource);
        EXPECT_EQ(LoadBitmapTexture(AfxGetResourceHandle(), kLogoBitmapId), nullptr) << c.what;
        // The scene goes on without that picture.
        AnimationScene scene;
        ASSERT_EQ(scene.Create(), 1) << c.what;
        EXPECT_EQ(scene.m_textures[kLogoSprite], nullptr) << c.what;
        EXPECT_EQ(scene.DrawSprite(&scene.m_sprites[kLogoSprite]), 0) << c.what;
    }
}

TEST(BmpFile, TopDownFilesAreStoredBottomUp) {
    const std::uint32_t rows[2][2] = {{0xFF000001u, 0xFF000002u}, {0xFF000003u, 0xFF000004u}};
    const struct {
        std::int32_t height;
        std::uint32_t firstStored;  // left pixel of the section's first stored row
    } cases[] = {{2, 0xFF000001u}, {-2, 0xFF000003u}};
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> file = SmallBmp(c.height, rows);
        HBITMAP bitmap = DibFromBmpFile(file);
        ASSERT_NE(bitmap, nullptr) << c.height;
        BITMAP info{};
        ASSERT_NE(GetObject(bitmap, sizeof info, &info), 0);
        EXPECT_EQ(info.bmHeight, 2);
        EXPECT_EQ(StoredPixel(info.bmBits, info.bmWidthBytes, 0, 0), c.firstStored) << c.height;
        DeleteObject(bitmap);
    }
}
