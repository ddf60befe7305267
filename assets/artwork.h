// Ferrox's pictures, drawn from shapes: the background (bitmap 117), the logo (113), the glow
// around the logo (115), the program's icon (101) and its red twin for a run that found errors
// (103). Rows are top first, as the BMP writer
// expects (it stores the last row first, so the files come out upright).
#pragma once

#include "image/image.h"

inline constexpr int kBackgroundSide = 256;
inline constexpr int kLogoWidth = 512;
inline constexpr int kLogoHeight = 128;
inline constexpr int kIconSide = 64;

// 24 bits per pixel.
Image* PaintBackground();
// 32 bits per pixel, coverage in alpha; the colour runs on under transparent pixels so that
// filtered edges keep the letters' colour.
Image* PaintLogo();
Image* PaintGlow();
enum class IconTone { kMolten, kAlarm };

// Sizes of the desktop icons (the hicolor theme's usual set); the design is kIconSide.
inline constexpr int kDesktopIconSides[] = {16, 24, 32, 48, 64, 128, 256};

// 32 bits per pixel with alpha, side x side pixels.
Image* PaintIcon(int side = kIconSide, IconTone tone = IconTone::kMolten);
