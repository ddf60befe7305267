// The depth pre-test on its own: where the trimmed span starts and ends, and how the start values
// follow a left trim.
#include <gtest/gtest.h>

#include "scan_test_support.h"

namespace {

struct TrimCase {
    const char* pixels;  // per pixel: 'H' hidden (stored depth nearer), 'E' equal depth, '.' empty depth
    bool empty;
    int trim;  // expected spanTrim, a multiple of 4
    int end;   // expected spanEnd - original spanStart
};

constexpr int kSpanStart = 3;
constexpr float kW = 2.0f;

TEST(SpanDepthTrim, StartMovesByWholeGroupsEndJustAfterTheLastPassingPixel) {
    const TrimCase cases[] = {
        {"HHHHH.......", false, 4, 12},
        {"...........H", false, 0, 11},
        {"HHHHHHHHHHHH", true, 0, 0},
        {"HHH", true, 0, 0},
        {".", false, 0, 1},
        {"EH", false, 0, 1},
        {"HHHHHHHH.HHHHHHHHH", false, 8, 9},
        {"HHHHHH.H.HHHHHHHHHHHHHHHHH.HH", false, 4, 27},
        {"H.HHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHH", false, 0, 2},
        {"HHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHE", false, 32, 36},
    };
    for (bool sse : {false, true}) {
        for (const TrimCase& tc : cases) {
            ResetSpanContext(sse);
            const int length = static_cast<int>(std::string(tc.pixels).size());
            SpanTarget target(kSpanStart + length, 1);
            SpanContext& c = g_spanContext;
            target.SetSpan(0, kSpanStart, kSpanStart + length);
            c.spanLength = length;
            c.wEnd = c.wArray + length;
            c.depthEnd = c.depthRow + (kSpanStart + length) * 4;
            for (int k = 0; k < length; ++k) {
                c.wArray[k] = kW;
                const char p = tc.pixels[k];
                target.SetDepth(kSpanStart + k, 0, p == 'H' ? 1.0f : p == 'E' ? kW : kFarDepth);
            }
            c.interpolateDiffuse = 1;
            c.interpolateTex[1] = 1;
            for (int j = 0; j < 4; ++j) {
                c.diffuseStart[CH_R][j] = 10.0f + j;
                c.diffuseStep4[CH_R][j] = 8.0f;
                c.texStart[0][0][j] = 5.0f;
                c.texStep4[0][0][j] = 2.0f;
                c.texStart[1][1][j] = 1.0f;
                c.texStep4[1][1][j] = 0.5f;
                c.rhwStart[j] = 0.5f;
                c.rhwStep4[j] = 0.25f;
            }

            TrimSpanByDepth();
            const std::string name = std::string(tc.pixels) + (sse ? " sse" : " scalar");
            if (tc.empty) {
                EXPECT_GE(c.spanStart, c.spanEnd) << name;
                continue;
            }
            const float groups = static_cast<float>(tc.trim) / 4.0f;
            EXPECT_EQ(c.spanTrim, tc.trim) << name;
            EXPECT_EQ(c.spanStart, kSpanStart + tc.trim) << name;
            EXPECT_EQ(c.spanEnd, kSpanStart + tc.end) << name;
            EXPECT_EQ(c.diffuseStart[CH_R][1], 11.0f + 8.0f * groups) << name;
            EXPECT_EQ(c.texStart[1][1][2], 1.0f + 0.5f * groups) << name;
            EXPECT_EQ(c.texStart[0][0][0], 5.0f) << name << ": stage 0 is not interpolated";
            EXPECT_EQ(c.rhwStart[0], 0.5f) << name << ": w is re-based instead";
        }
    }
}

}  // namespace
