// What an HBITMAP points to (inside the platform layer only).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/common/bitmap_backend.h"

struct BitmapObject {
    BITMAP info{};
    std::unique_ptr<std::uint8_t[]> pixels;
};
