// Ferrox's icon: the capital of the logo in white on a rounded square of molten iron, drawn by
// assets/make_artwork and compiled in as icon_101.bmp.
#pragma once

#include <cstdint>

inline constexpr int kAppIconSide = 64;

// kAppIconSide x kAppIconSide pixels, 0xAARRGGBB, top row first; null if the compiled-in
// picture is not a 32-bit image of that size.
const std::uint32_t* AppIconPixels();
// The same icon in alarm red (icon_error_103.bmp), which the tray shows once an error was found.
const std::uint32_t* ErrorIconPixels();
