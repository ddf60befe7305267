#include "image/color_math.h"

#include <gtest/gtest.h>

namespace {

TEST(ColorMath, PerChannelArithmetic) {
    struct Case {
        const char* operation;
        Color32 a, b;
        int f;
        Color32 expected;
    };
    const Case cases[] = {
        {"lerp", 0x00000000u, 0xFFFFFFFFu, 128, 0x7F7F7F7Fu},
        {"lerp", 0x12345678u, 0x9ABCDEF0u, 0, 0x12345678u},
        {"lerp", 0x12345678u, 0x9ABCDEF0u, 256, 0x9ABCDEF0u},
        {"lerp", 0x00000000u, 0xFFFFFFFFu, 255, 0xFEFEFEFEu},
        {"lerp", 0xFF00FF00u, 0x00FF00FFu, 64, 0xBF3FBF3Fu},
        {"lerp", 0x12345678u, 0x9ABCDEF0u, -50, 0x12345678u},   // factors are clamped to 0..256
        {"lerp", 0x12345678u, 0x9ABCDEF0u, 9999, 0x9ABCDEF0u},
        {"modulate", 0x80808080u, 0x80808080u, 0, 0x40404040u},
        {"modulate", 0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0xFEFEFEFEu},
        {"modulate", 0xFF102030u, 0x00FFFFFFu, 0, 0x000F1F2Fu},
        {"add", 0x80808080u, 0x90109001u, 0, 0xFF90FF81u},
        {"add", 0x01020304u, 0x10203040u, 0, 0x11223344u},
        {"subtract", 0x80808080u, 0x10101010u, 0, 0x70707070u},
        {"subtract", 0x10801080u, 0x20102010u, 0, 0x00700070u},
    };
    for (const Case& c : cases) {
        const std::string operation = c.operation;
        Color32 result = 0;
        if (operation == "lerp") {
            result = lerpColor(c.a, c.b, c.f);
        } else if (operation == "modulate") {
            result = modulateColor(c.a, c.b);
        } else if (operation == "add") {
            result = addColorSaturate(c.a, c.b);
        } else {
            result = subtractColorClamp(c.a, c.b);
        }
        EXPECT_EQ(result, c.expected) << operation << std::hex << " " << c.a << " " << c.b << " " << std::dec << c.f;
    }
}

// The packed two-channels-per-multiply blend must equal the plain per-channel formula everywhere.
TEST(ColorMath, LerpMatchesThePerChannelFormula) {
    std::uint32_t seed = 1;
    for (int trial = 0; trial < 20000; ++trial) {
        seed = seed * 1664525u + 1013904223u;
        const Color32 a = seed;
        seed = seed * 1664525u + 1013904223u;
        const Color32 b = seed;
        const int f = static_cast<int>(seed >> 7) % 257;
        Color32 expected = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const std::uint32_t ca = a >> shift & 0xFF;
            const std::uint32_t cb = b >> shift & 0xFF;
            expected |= ((ca * (256 - f) + cb * f) >> 8) << shift;
        }
        ASSERT_EQ(lerpColor(a, b, f), expected) << std::hex << a << " " << b << " " << std::dec << f;
    }
}

}  // namespace
