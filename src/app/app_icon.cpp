#include "app/app_icon.h"

#include <array>

namespace {
// '.' clear, 'r' rim, 'o' glow, 'y' hot core, 'w' the letter.
constexpr const char* kArt[kAppIconSide] = {
    "..rrrrrrrrrrrr..",
    ".royyyyyyyyyyyor",
    "royyyyyyyyyyyyoo",
    "royywwwwwwwwwyyo",
    "royywwwwwwwwwyyo",
    "royywwooooooooyo",
    "royywwoooooooooo",
    "royywwwwwwwwoooo",
    "royywwwwwwwwoooo",
    "royywwoooooooooo",
    "rooowwoooooooooo",
    "rooowwoooooooooo",
    "rooowwoooooooooo",
    "rooooooooooooooo",
    ".rooooooooooooor",
    "..rrrrrrrrrrrr..",
};

constexpr std::uint32_t ColourOf(char code) {
    switch (code) {
    case 'r': return 0xFF5A1E00u;
    case 'o': return 0xFFD9560Bu;
    case 'y': return 0xFFF5A623u;
    case 'w': return 0xFFFFFFFFu;
    default: return 0x00000000u;
    }
}

constexpr auto MakePixels() {
    std::array<std::uint32_t, kAppIconSide * kAppIconSide> pixels{};
    for (int y = 0; y < kAppIconSide; ++y) {
        for (int x = 0; x < kAppIconSide; ++x) {
            pixels[y * kAppIconSide + x] = ColourOf(kArt[y][x]);
        }
    }
    return pixels;
}

constexpr auto kPixels = MakePixels();
}  // namespace

const std::uint32_t* AppIconPixels() { return kPixels.data(); }
