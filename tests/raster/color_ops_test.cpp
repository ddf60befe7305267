#include "raster/color_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "raster/span_context.h"

namespace {

constexpr int kSpanX = 37;  // any x: the routines only see lengths and end pointers

// A span of `length` pixels with argument 1 in `first` and argument 2 in `second`.
void PrepareSpan(int length, Color32* first, Color32* second) {
    SpanContext& c = g_spanContext;
    c.spanStart = kSpanX;
    c.spanEnd = kSpanX + length;
    c.spanLength = length;
    c.firstArgEnd = first + length;
    c.secondArgEnd = second + length;
    c.diffuseEnd = c.diffuseArray + length;
    c.texelEnd = c.texelArray + length;
    c.currentEnd = c.currentArray + length;
}

struct OpCase {
    std::uint32_t op;
    Color32 a, b, expected;
};

// Argument 1 in specularArray, argument 2 in texelArray.
const OpCase kOpCases[] = {
    {2, 0x12345678, 0x9ABCDEF0, 0x12345678},  {3, 0x12345678, 0x9ABCDEF0, 0x9ABCDEF0},
    {4, 0xFF808080, 0xFF808080, 0xFE404040},  {4, 0xFFFFFFFF, 0xFFFFFFFF, 0xFEFEFEFE},
    {4, 0x80FF4000, 0x40FF80FF, 0x20FE2000},  {5, 0xFF808080, 0xFF808080, 0xFF808080},
    {5, 0x40404040, 0x40FF4000, 0x207F2000},  {6, 0x40404040, 0x40404040, 0x40404040},
    {6, 0xFF808080, 0x10101010, 0x3F202020},  {6, 0xFF808080, 0xFF808080, 0xFFFFFFFF},
    {7, 0x80808080, 0x90909090, 0xFFFFFFFF},  {7, 0x10203040, 0x01020304, 0x11223344},
    {8, 0x80808080, 0x10101010, 0x10101010},  {8, 0x00000000, 0x7F7F7F7F, 0x00000000},
    {8, 0xFFFFFFFF, 0xFF01FF80, 0xFF80FFFF},  {9, 0x80808080, 0x10101010, 0x20202020},
    {9, 0x60606060, 0x10101010, 0x00000000},  {9, 0xC0C0C0C0, 0x10101010, 0xA0A0A0A0},
    {9, 0xFFFFFFFF, 0x00000000, 0xFEFEFEFE},  {10, 0x10101010, 0x20202020, 0x00000000},
    {10, 0x30405060, 0x10101010, 0x20304050}, {11, 0x80808080, 0x80808080, 0xC0C0C0C0},
    {11, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}, {11, 0x00400040, 0x40004000, 0x40404040},
};

// Runs every listed case of each operation along spans of 1-9 pixels (so the last group of four is
// partly outside the span), pixel k holding case k modulo the operation's case count.
TEST(ColorOps, ListedResultsOnBothFormsAndEverySpanLength) {
    SpanContext& c = g_spanContext;
    for (bool sse : {false, true}) {
        for (std::uint32_t op = 2; op <= 11; ++op) {
            std::vector<OpCase> cases;
            for (const OpCase& oc : kOpCases)
                if (oc.op == op) cases.push_back(oc);
            ASSERT_FALSE(cases.empty());
            const SpanRoutine routine = ColorOpRoutine(op, sse);
            ASSERT_NE(routine, nullptr);
            for (int length = 1; length <= 9; ++length) {
                for (int k = 0; k < 16; ++k) {
                    const OpCase& oc = cases[k % cases.size()];
                    c.specularArray[k] = oc.a;
                    c.texelArray[k] = oc.b;
                    c.currentArray[k] = 0x5A5A5A5A;
                }
                PrepareSpan(length, c.specularArray, c.texelArray);
                routine();
                for (int k = 0; k < length; ++k) {
                    const OpCase& oc = cases[k % cases.size()];
                    EXPECT_EQ(c.currentArray[k], oc.expected)
                        << "op " << op << " sse " << sse << " length " << length << " pixel " << k
                        << std::hex << " a " << oc.a << " b " << oc.b;
                }
                // The last group of four may write past the span, never further.
                for (int k = (length + 3) / 4 * 4; k < 16; ++k)
                    EXPECT_EQ(c.currentArray[k], 0x5A5A5A5Au)
                        << "op " << op << " length " << length;
            }
        }
    }
}

struct BlendCase {
    Color32 a, b;
    std::uint32_t alpha;
    Color32 expected;
};

// Argument 1 weighed by alpha / 255, argument 2 by the rest, each channel rounded to nearest.
const BlendCase kBlendCases[] = {
    {0xFF204060, 0x00A0C0E0, 255, 0xFF204060}, {0xFF204060, 0x00A0C0E0, 0, 0x00A0C0E0},
    {0xFF204060, 0x00A0C0E0, 128, 0x806080A0}, {0xFF204060, 0x00A0C0E0, 127, 0x7F6080A0},
    {0xFFFFFFFF, 0x00000000, 1, 0x01010101},   {0x01010101, 0x00000000, 128, 0x01010101},
    {0x01010101, 0x00000000, 127, 0x00000000},
};

// Operation 12 takes alpha from the diffuse colour, 13 from the texel; argument 2's own alpha
// (different from the factor in most cases) must not matter, and the result lands in currentArray.
TEST(ColorOps, BlendByDiffuseAndTexelAlphaOnBothForms) {
    SpanContext& c = g_spanContext;
    constexpr int kCases = sizeof kBlendCases / sizeof kBlendCases[0];
    for (bool sse : {false, true}) {
        for (std::uint32_t op : {12u, 13u}) {
            Color32* factor = op == 12 ? c.diffuseArray : c.texelArray;
            Color32* second = op == 12 ? c.texelArray : c.diffuseArray;
            for (int length = 1; length <= 9; ++length) {
                for (int k = 0; k < 12; ++k) {
                    const BlendCase& bc = kBlendCases[k % kCases];
                    c.specularArray[k] = bc.a;
                    second[k] = bc.b;
                    factor[k] = bc.alpha << 24 | 0x00123456;
                    c.currentArray[k] = 0;
                }
                PrepareSpan(length, c.specularArray, second);
                ColorOpRoutine(op, sse)();
                for (int k = 0; k < length; ++k) {
                    EXPECT_EQ(c.currentArray[k], kBlendCases[k % kCases].expected)
                        << "op " << op << " sse " << sse << " pixel " << k;
                }
            }
        }
    }
}

// With random arguments and factors over a full-length span, both forms give identical results for
// every operation, also when argument 1 is currentArray itself (stages after the first).
TEST(ColorOps, SseAndPlainFormsAgreeOnRandomSpans) {
    SpanContext& c = g_spanContext;
    std::mt19937 random(1234);
    std::vector<Color32> first(kSpanArrayLength), second(kSpanArrayLength),
        diffuse(kSpanArrayLength), texel(kSpanArrayLength), plain(kSpanArrayLength);
    for (int length : {kSpanArrayLength, 1001}) {
        for (std::uint32_t op = 2; op <= 13; ++op) {
            for (bool inPlace : {false, true}) {
                for (int k = 0; k < kSpanArrayLength; ++k) {
                    first[k] = random();
                    second[k] = random();
                    diffuse[k] = random();
                    texel[k] = random();
                }
                for (bool sse : {false, true}) {
                    // Stages after the first read argument 1 from currentArray, the output.
                    Color32* firstArray = inPlace ? c.currentArray : c.specularArray;
                    Color32* secondArray = inPlace ? c.specularArray : c.texelArray;
                    std::copy(diffuse.begin(), diffuse.end(), c.diffuseArray);
                    std::copy(texel.begin(), texel.end(), c.texelArray);
                    std::copy(first.begin(), first.end(), firstArray);
                    std::copy(second.begin(), second.end(), secondArray);
                    PrepareSpan(length, firstArray, secondArray);
                    ColorOpRoutine(op, sse)();
                    if (!sse) {
                        std::copy(c.currentArray, c.currentArray + length, plain.begin());
                    } else {
                        for (int k = 0; k < length; ++k) {
                            ASSERT_EQ(c.currentArray[k], plain[k])
                                << "op " << op << " pixel " << k << " in place " << inPlace;
                        }
                    }
                }
            }
        }
    }
}

TEST(ColorOps, OnlyOperationsTwoToThirteenHaveRoutines) {
    for (bool sse : {false, true}) {
        for (std::uint32_t op : {0u, 1u, 14u, 26u, 0xFFFFFFFFu})
            EXPECT_EQ(ColorOpRoutine(op, sse), nullptr);
        for (std::uint32_t op = 2; op <= 13; ++op) {
            EXPECT_NE(ColorOpRoutine(op, sse), nullptr);
            EXPECT_NE(ColorOpRoutine(op, sse), ColorOpRoutine(op, !sse)) << "op " << op;
        }
    }
}

}  // namespace
