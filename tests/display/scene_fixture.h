// Shared pieces of the display tests: the compiled-in bitmaps installed as the program's
// resources, and small readers of textures and bitmaps.
#pragma once

#include <cstdint>
#include <span>

#include <gtest/gtest.h>

#include "image/texture.h"
#include "platform/resources.h"

// Installs the logo's three bitmaps as the resources for the test's lifetime.
class WithBitmapResources : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Replaces the resources with these bitmaps only.
    void UseBitmaps(std::span<const BitmapResource> bitmaps);
    static std::span<const std::uint8_t> BackgroundFile();

private:
    ResourceTable m_table{};
};

// The 32-bit texel (x, y) of a texture's level 0 (y counted in stored rows).
std::uint32_t Texel(const Texture& texture, int x, int y);

// A 32-bit pixel (x, row) of a bottom-up bitmap's stored rows.
std::uint32_t StoredPixel(const void* bits, int pitch, int x, int row);
