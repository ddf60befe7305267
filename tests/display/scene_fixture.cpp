#include "scene_fixture.h"

#include <cstring>

#include "assets/embedded_files.h"
#include "display/animation_scene.h"

namespace {
const BitmapResource kBitmaps[] = {
    {kBackgroundBitmapId, EmbeddedFile("background_117.bmp")},
    {kLogoBitmapId, EmbeddedFile("logo_113.bmp")},
    {kGlowBitmapId, EmbeddedFile("glow_115.bmp")},
};
}  // namespace

std::span<const std::uint8_t> WithBitmapResources::BackgroundFile() { return EmbeddedFile("background_117.bmp"); }

void WithBitmapResources::SetUp() { UseBitmaps(kBitmaps); }

void WithBitmapResources::TearDown() { AfxSetResourceTable(nullptr); }

void WithBitmapResources::UseBitmaps(std::span<const BitmapResource> bitmaps) {
    m_table = ResourceTable{{}, {}, {}, bitmaps};
    AfxSetResourceTable(&m_table);
}

std::uint32_t Texel(const Texture& texture, int x, int y) {
    const Image* level = texture.getLevel(0);
    std::uint32_t texel = 0;
    std::memcpy(&texel, level->pixels + std::size_t(y) * level->pitch + std::size_t(x) * 4, 4);
    return texel;
}

std::uint32_t StoredPixel(const void* bits, int pitch, int x, int row) {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, static_cast<const std::uint8_t*>(bits) + std::size_t(row) * pitch + std::size_t(x) * 4, 4);
    return pixel;
}
