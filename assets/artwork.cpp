#include "artwork.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "wordmark.h"

namespace {
struct Rgb {
    double r, g, b;  // 0-255
};

Rgb Mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// A 4x4 ordered dither of +-0.5 steps keeps slow gradients free of bands.
double Dither(int x, int y) {
    static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (kBayer[y & 3][x & 3] + 0.5) / 16.0 - 0.5;
}

std::uint8_t Channel(double value) { return std::uint8_t(std::clamp(std::lround(value), 0L, 255L)); }

// Bytes in memory order: blue, green, red, then alpha for 32-bit pixels.
void Put(Image* image, int x, int y, Rgb colour, double alpha, double dither) {
    const int bytes = image->format == A8R8G8B8 ? 4 : 3;
    std::uint8_t* pixel = image->pixels + y * image->pitch + x * bytes;
    pixel[0] = Channel(colour.b + dither);
    pixel[1] = Channel(colour.g + dither);
    pixel[2] = Channel(colour.r + dither);
    if (bytes == 4) pixel[3] = Channel(alpha * 255.0);
}

// The word in the logo's picture: 88 pixels from the capital's top to the baseline, strokes of 17.
const Wordmark& LogoWord() {
    static const Wordmark word(LetterMetrics{17.0, 20.0, 50.0, 108.0, 15.0}, kLogoWidth / 2.0);
    return word;
}

// The logo's steel: light at the top of the letters, a cooler shade towards the baseline.
Rgb SteelAt(double y) {
    const double t = SmoothStep(20.0, 108.0, y);
    return Mix(Rgb{250, 251, 255}, Rgb{170, 182, 204}, t);
}

constexpr Rgb kOutline{22, 28, 44};
constexpr double kOutlineWidth = 2.5;

// Molten colours of the glow, from the letters' core outwards.
Rgb GlowColourAt(double distance) {
    const Rgb core{255, 244, 214};
    const Rgb rim{255, 170, 60};
    const Rgb halo{240, 84, 12};
    if (distance <= 0) return Mix(rim, core, SmoothStep(0.0, -6.0, distance));
    return Mix(rim, halo, SmoothStep(0.0, 12.0, distance));
}

constexpr double kGlowReach = 19.0;  // pixels beyond the letters' edges

// The icon's square: light in the upper left, deep in the lower right, a dark rim.
struct IconColours {
    Rgb light, deep, rim;
};

const IconColours& IconColoursFor(IconTone tone) {
    static const IconColours kMolten{{255, 178, 54}, {196, 56, 8}, {92, 26, 4}};
    // Alarm red: no orange left in it, so it reads as "wrong" next to the molten icon even at
    // the 16-pixel tray size.
    static const IconColours kAlarm{{255, 64, 64}, {176, 0, 18}, {72, 0, 8}};
    return tone == IconTone::kAlarm ? kAlarm : kMolten;
}
}  // namespace

Image* PaintBackground() {
    Image* image = createImage(kBackgroundSide, kBackgroundSide, R8G8B8);
    if (image == nullptr) return nullptr;
    const Rgb top{12, 20, 36};
    const Rgb bottom{26, 38, 58};
    const Rgb light{48, 62, 92};
    for (int y = 0; y < kBackgroundSide; ++y) {
        for (int x = 0; x < kBackgroundSide; ++x) {
            const double u = (x + 0.5) / kBackgroundSide, v = (y + 0.5) / kBackgroundSide;
            Rgb colour = Mix(top, bottom, SmoothStep(0.0, 1.0, v));
            // A soft light behind the logo's band (a quarter of the way down), wider than tall
            // because the picture is stretched to 4:3.
            const double lx = (u - 0.5) / 0.55, ly = (v - 0.27) / 0.33;
            colour = Mix(colour, light, 0.75 * std::exp(-(lx * lx + ly * ly) * 1.6));
            // Corners fall off a little.
            const double cx = u - 0.5, cy = v - 0.5;
            const double vignette = 1.0 - 0.35 * SmoothStep(0.25, 0.75, std::sqrt(cx * cx + cy * cy) * 1.41);
            colour = {colour.r * vignette, colour.g * vignette, colour.b * vignette};
            Put(image, x, y, colour, 1.0, Dither(x, y));
        }
    }
    return image;
}

Image* PaintLogo() {
    Image* image = createImage(kLogoWidth, kLogoHeight, A8R8G8B8);
    if (image == nullptr) return nullptr;
    const Wordmark& word = LogoWord();
    for (int y = 0; y < kLogoHeight; ++y) {
        for (int x = 0; x < kLogoWidth; ++x) {
            const double d = word.Distance({x + 0.5, y + 0.5});
            // The letters with a thin dark edge, which keeps them readable on the glow.
            const double letter = Coverage(d);
            const double outlined = Coverage(d - kOutlineWidth);
            const double fill = outlined > 0 ? letter / outlined : 1.0;
            Put(image, x, y, Mix(kOutline, SteelAt(y + 0.5), fill), outlined, 0.0);
        }
    }
    return image;
}

Image* PaintGlow() {
    Image* image = createImage(kLogoWidth, kLogoHeight, A8R8G8B8);
    if (image == nullptr) return nullptr;
    const Wordmark& word = LogoWord();
    for (int y = 0; y < kLogoHeight; ++y) {
        for (int x = 0; x < kLogoWidth; ++x) {
            const double d = word.Distance({x + 0.5, y + 0.5});
            const double falloff = 1.0 - SmoothStep(0.0, kGlowReach, d);
            const double halo = 0.9 * falloff * falloff;
            const double alpha = std::max(Coverage(d), halo);
            Put(image, x, y, GlowColourAt(d), alpha, 0.0);
        }
    }
    return image;
}

Image* PaintIcon(int side, IconTone tone) {
    Image* image = createImage(side, side, A8R8G8B8);
    if (image == nullptr) return nullptr;
    // A rounded square of molten iron (or of alarm red) with the white capital of the logo. The
    // design is laid out on the 64-pixel grid; other sizes look at it through a scale, and
    // distances come back in their own pixels so every edge keeps a one-pixel ramp. At 64 the
    // scale is exactly 1, so that size is drawn exactly as it always was.
    const IconColours& colours = IconColoursFor(tone);
    const double toDesign = double(kIconSide) / side;
    const double toPixels = double(side) / kIconSide;
    const LetterMetrics metrics{10.0, 12.0, 0.0, 52.0, 0.0};
    double advance = 0;
    LetterF({0, 0}, metrics, 0, &advance);
    const double letterLeft = (kIconSide - advance) / 2 + 1.0;
    const double corner = 12.0;
    const double inset = 1.0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const Point p{(x + 0.5) * toDesign, (y + 0.5) * toDesign};
            const double square =
                Box(p, inset + corner, inset + corner, kIconSide - inset - corner, kIconSide - inset - corner) - corner;
            const double t = SmoothStep(0.0, kIconSide, p.y * 0.7 + p.x * 0.3);
            Rgb colour = Mix(colours.light, colours.deep, t);
            // A darker rim along the edge.
            colour = Mix(colour, colours.rim, 1.0 - Coverage((square + 3.0) * toPixels));
            const double letter = Coverage(LetterF(p, metrics, letterLeft, &advance) * toPixels);
            colour = Mix(colour, Rgb{255, 255, 255}, letter);
            Put(image, x, y, colour, Coverage(square * toPixels), 0.0);
        }
    }
    return image;
}
