// Ferrox's icon: a white F on a molten-iron square, drawn from a small pixel map.
#pragma once

#include <cstdint>

inline constexpr int kAppIconSide = 16;

// kAppIconSide x kAppIconSide pixels, 0xAARRGGBB, top row first.
const std::uint32_t* AppIconPixels();
