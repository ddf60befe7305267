// What an HBITMAP points to (inside the platform layer only), and the registry of live ones.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/gdi_bitmap.h"

struct BitmapObject {
    BITMAP info{};
    std::unique_ptr<std::uint8_t[]> pixels;
};

// True while bitmap was made by CreateDIBSection (or LoadImage) and not yet deleted.
bool IsLiveBitmap(HBITMAP bitmap);
