#include "raster/span_context.h"

#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "raster/color_ops.h"
#include "raster/span_stages.h"
#include "draw_rounding.h"

namespace {

constexpr std::uint32_t kSentinel = 0x7FC0DEADu;  // a NaN no stage writes

// The first sixteen entries of an array, which the stage writing the array before it must leave.
bool SentinelsIntact(const void* array) {
    std::uint32_t words[16];
    std::memcpy(words, array, sizeof words);
    for (std::uint32_t word : words)
        if (word != kSentinel) return false;
    return true;
}

void SetSentinels(void* array) {
    std::uint32_t words[16];
    for (std::uint32_t& word : words) word = kSentinel;
    std::memcpy(array, words, sizeof words);
}

// The span stages run groups of four pixels (sixteen in the SSE w step) from the span's first
// pixel, so the last group may pass the span's end. Spans are cut to kSpanArrayLength pixels, so
// for the longest spans, of every length modulo 16, each stage must stay inside its own array and
// leave the array after it untouched (the constant array, after the last one, must stay all ones).
TEST(SpanContext, StagesOfTheLongestSpansStayInsideTheirArrays) {
    SpanContext& c = g_spanContext;
    for (bool sse : {false, true}) {
        DrawRounding rounding(sse);
        for (int length = kSpanArrayLength - 15; length <= kSpanArrayLength; ++length) {
            SCOPED_TRACE(::testing::Message() << "length " << length << (sse ? " sse" : " scalar"));
            std::memset(static_cast<void*>(&c), 0, sizeof c);
            for (Color32& v : c.constantArray) v = 0xFFFFFFFF;
            c.ssePath = sse ? 0xFFFFFFFFu : 0u;
            c.spanStart = 0;
            c.spanEnd = length;
            c.spanLength = length;
            c.wEnd = c.wArray + length;
            c.fogEnd = c.fogArray + length;
            c.diffuseEnd = c.diffuseArray + length;
            c.currentEnd = c.currentArray + length;
            c.firstArgEnd = c.diffuseArray + length;
            c.secondArgEnd = c.diffuseArray + length;
            for (int j = 0; j < 4; ++j) {
                c.rhwStart[j] = 1.0f;
                c.diffuseStart[CH_R][j] = 100.0f;
                c.flatColor[j] = 0xFF102030u;
            }

            SetSentinels(c.fogArray);
            c.fogEnable = 0;
            ComputeSpanW();
            EXPECT_TRUE(SentinelsIntact(c.fogArray)) << "w";

            SetSentinels(c.diffuseArray);
            c.fogEnable = 1;
            ComputeSpanW();
            EXPECT_TRUE(SentinelsIntact(c.diffuseArray)) << "fog";

            SetSentinels(c.specularArray);
            FillSpanFlat();
            EXPECT_TRUE(SentinelsIntact(c.specularArray)) << "flat colour";
            ShadeSpanGouraud();
            EXPECT_TRUE(SentinelsIntact(c.specularArray)) << "Gouraud colour";

            ColorOpRoutine(2, sse)();  // select argument 1 into currentArray
            EXPECT_EQ(c.currentArray[length - 1], c.diffuseArray[length - 1]);
            for (int k = 0; k < 16; ++k) EXPECT_EQ(c.constantArray[k], 0xFFFFFFFFu) << "colour operation, entry " << k;
        }
    }
}

}  // namespace
