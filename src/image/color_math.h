#pragma once
// Colour arithmetic on Color32, each of the four channels (alpha included) on its own.

#include "image/pixel_format.h"

// (a * (256 - f) + b * f) >> 8 per channel, f in 0..256 (clamped): 0 gives a, 256 gives b.
Color32 lerpColor(Color32 a, Color32 b, int f);
// (a * b) >> 8 per channel, so 255 * 255 gives 254.
Color32 modulateColor(Color32 a, Color32 b);
// a + b per channel, saturating at 255.
Color32 addColorSaturate(Color32 a, Color32 b);
// a - b per channel, clamped at 0.
Color32 subtractColorClamp(Color32 a, Color32 b);
