// Which pixels a triangle covers on each path: scan-line and pixel rounding, the choice of the left
// edge, horizontal top edges, span statistics, and triangles that draw nothing.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "scan_test_support.h"

namespace {

struct CoverageCase {
    const char* name;
    ScreenVertex v[3];  // sorted top to bottom
    bool ssePath;
    std::vector<std::string> expected;  // 8 x 8
};

std::vector<std::string> DrawOne(const CoverageCase& tc) {
    auto device = MakeScanDevice(tc.ssePath);
    ResetSpanContext(tc.ssePath, device.get());
    SpanTarget target(8, 8);
    VertexBatch batch = EmptyBatch();
    SetLane(batch, 0, tc.v);
    DrawRounding rounding(tc.ssePath);
    ScanConvertBatch(*device, batch);
    return target.Coverage();
}

// Expected pixels derived by hand: SSE bounds are ceil(v); scalar bounds are v + 0.5 rounded to
// nearest even, which differs from ceil only on odd whole numbers (3.0 gives 4, 2.0 gives 2).
TEST(ScanCoverage, RoundingOfLinesAndPixelsOnEachPath) {
    const std::vector<CoverageCase> cases = {
        // Horizontal top at y = 3 and bottom at y = 7; left edge x = 1; right edge x = 7 - 1.5 (y - 3).
        {"top on odd line, sse", {{1, 3, 1}, {7, 3, 1}, {1, 7, 1}}, true,
         {"........", "........", "........", ".######.", ".#####..", ".###....", ".##.....", "........"}},
        {"top on odd line, scalar", {{1, 3, 1}, {7, 3, 1}, {1, 7, 1}}, false,
         {"........", "........", "........", "........", "..####..", "..##....", "..#.....", "........"}},
        // The same shape one line up: top y = 2 and bottom y = 6 give lines 2-5 on both paths; the left
        // edge x = 1 still rounds to 1 (sse) and 2 (scalar).
        {"top on even line, sse", {{1, 2, 1}, {7, 2, 1}, {1, 6, 1}}, true,
         {"........", "........", ".######.", ".#####..", ".###....", ".##.....", "........", "........"}},
        {"top on even line, scalar", {{1, 2, 1}, {7, 2, 1}, {1, 6, 1}}, false,
         {"........", "........", "..######", "..####..", "..##....", "..#.....", "........", "........"}},
    };
    for (const CoverageCase& tc : cases) EXPECT_EQ(DrawOne(tc), tc.expected) << tc.name;
}

// Edges cross whole lines at x.25 or x.75, where both paths round alike.
TEST(ScanCoverage, LeftEdgeFollowsTheSignOfTheArea) {
    const std::vector<std::string> middleRight = {"........", "........", "..#.....", "..##....",
                                                  "..###...", "..###...", "..#.....", "........"};
    const std::vector<std::string> middleLeft = {"........", "........", "......#.", ".....##.",
                                                 "....###.", "....###.", "......#.", "........"};
    for (bool sse : {false, true}) {
        // Middle vertex right of the long edge: the long edge is on the left.
        EXPECT_EQ(DrawOne({"middle right", {{1.25f, 0.5f, 1}, {5.25f, 4.5f, 1}, {1.25f, 6.5f, 1}}, sse, {}}),
                  middleRight)
            << sse;
        // Its mirror image takes the short edges on the left.
        EXPECT_EQ(DrawOne({"middle left", {{6.75f, 0.5f, 1}, {2.75f, 4.5f, 1}, {6.75f, 6.5f, 1}}, sse, {}}),
                  middleLeft)
            << sse;
    }
}

// A horizontal top edge leaves the upper half empty; either order of its two vertices draws the
// same pixels from the lower half alone.
TEST(ScanCoverage, HorizontalTopEdgeInEitherVertexOrder) {
    for (bool sse : {false, true}) {
        const auto leftFirst = DrawOne({"", {{1, 2, 1}, {7, 2, 1}, {1, 6, 1}}, sse, {}});
        const auto rightFirst = DrawOne({"", {{7, 2, 1}, {1, 2, 1}, {1, 6, 1}}, sse, {}});
        EXPECT_EQ(leftFirst, rightFirst) << sse;
        EXPECT_EQ(leftFirst[2], sse ? ".######." : "..######");
    }
}

// Statistics of the first case above and of the middle-right triangle, whose line 1 is empty: the
// SSE path also counts the empty spans it hands over.
TEST(ScanCoverage, SpanStatisticsOnEachPath) {
    struct Expected {
        ScreenVertex v[3];
        bool ssePath;
        std::uint32_t spans, pixels, rounded;
    };
    // Horizontal top: sse spans of 6, 5, 3, 2; scalar 4, 2, 1 and line 7 empty, not handed over.
    // Rounded total: add length + 3, then clear bit 1 (sse 9, 17, 21, 24; scalar 5, 8, 12).
    // Middle right: lines 1-6 hold 0, 1, 2, 3, 3, 1 pixels on both paths (4, 9, 13, 17, 21).
    const ScreenVertex flatTop[3] = {{1, 3, 1}, {7, 3, 1}, {1, 7, 1}};
    const ScreenVertex middleRight[3] = {{1.25f, 0.5f, 1}, {5.25f, 4.5f, 1}, {1.25f, 6.5f, 1}};
    const Expected cases[] = {
        {{flatTop[0], flatTop[1], flatTop[2]}, true, 4, 16, 24},
        {{flatTop[0], flatTop[1], flatTop[2]}, false, 3, 7, 12},
        {{middleRight[0], middleRight[1], middleRight[2]}, true, 6, 10, 21},
        {{middleRight[0], middleRight[1], middleRight[2]}, false, 5, 10, 21},
    };
    for (const Expected& e : cases) {
        DrawOne({"", {e.v[0], e.v[1], e.v[2]}, e.ssePath, {}});
        EXPECT_EQ(g_spanContext.spanCount, e.spans) << e.ssePath;
        EXPECT_EQ(g_spanContext.pixelTotal, e.pixels) << e.ssePath;
        EXPECT_EQ(g_spanContext.roundedPixelTotal, e.rounded) << e.ssePath;
    }
}

// Triangles without finite gradients or positions draw nothing, and a triangle reaching far beyond
// the target is confined to it.
TEST(ScanCoverage, DegenerateAndExtremeTriangles) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::string> nothing(8, "........");
    const std::vector<std::string> everything(8, "########");
    for (bool sse : {false, true}) {
        EXPECT_EQ(DrawOne({"zero area", {{1, 1, 1}, {4, 4, 1}, {7, 7, 1}}, sse, {}}), nothing) << sse;
        EXPECT_EQ(DrawOne({"flat line", {{1, 3.5f, 1}, {7, 3.5f, 1}, {4, 3.5f, 1}}, sse, {}}), nothing) << sse;
        EXPECT_EQ(DrawOne({"nan", {{nan, 1, 1}, {4, 4, 1}, {1, 7, 1}}, sse, {}}), nothing) << sse;
        EXPECT_EQ(DrawOne({"infinite", {{1, 1, 1}, {inf, 4, 1}, {1, 7, 1}}, sse, {}}), nothing) << sse;
        EXPECT_EQ(DrawOne({"nan rhw", {{1, 1, nan}, {7, 4, 1}, {1, 7, 1}}, sse, {}}), nothing) << sse;
        // Its hypotenuse x + y = 2e30 passes far beyond the target.
        EXPECT_EQ(DrawOne({"huge", {{-1e30f, -1e30f, 1}, {3e30f, -1e30f, 1}, {-1e30f, 3e30f, 1}}, sse, {}}),
                  everything)
            << sse;
        // Differences overflow to infinity, so the gradients are not finite.
        EXPECT_EQ(DrawOne({"overflowing", {{-3e38f, -3e38f, 1}, {3e38f, -3e38f, 1}, {-3e38f, 3e38f, 1}}, sse, {}}),
                  nothing)
            << sse;
        EXPECT_EQ(DrawOne({"all above", {{1, -9e20f, 1}, {7, -5e20f, 1}, {1, -1e20f, 1}}, sse, {}}), nothing)
            << sse;
        EXPECT_EQ(DrawOne({"all below", {{1, 1e20f, 1}, {7, 2e20f, 1}, {1, 3e20f, 1}}, sse, {}}), nothing) << sse;
    }
}

// A vertex or edge just below a whole number N covers line or column N on both paths: the scalar
// path's x + 0.5 must be rounded once (0.99999994 + 0.5 in float is 1.5, which would round to 2).
TEST(ScanCoverage, PositionsJustBelowWholeNumbersStartOnThatNumber) {
    for (int whole : {1, 2, 4, 2049, 4096}) {
        const float below = std::nextafter(static_cast<float>(whole), 0.0f);
        for (bool sse : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "just below " << whole << (sse ? ", sse" : ", scalar"));
            auto device = MakeScanDevice(sse);
            DrawRounding rounding(sse);
            {  // A top vertex just below line N: triangle setup starts on line N.
                ResetSpanContext(sse, device.get());
                SpanTarget target(4, whole + 4);
                VertexBatch batch = EmptyBatch();
                SetLane(batch, 0, {{0.25f, below, 1}, {3.75f, below, 1}, {0.25f, whole + 3.5f, 1}});
                ScanConvertBatch(*device, batch);
                const std::vector<std::string> rows = target.Coverage();
                EXPECT_EQ(rows[whole - 1], "....");
                EXPECT_NE(rows[whole], "....");
            }
            {  // A left edge just below column N: each line's span starts at column N.
                ResetSpanContext(sse, device.get());
                SpanTarget target(whole + 4, 4);
                VertexBatch batch = EmptyBatch();
                SetLane(batch, 0, {{below, 0.25f, 1}, {whole + 3.75f, 0.25f, 1}, {below, 3.75f, 1}});
                ScanConvertBatch(*device, batch);
                for (int y = 1; y < 3; ++y) {
                    EXPECT_EQ(target.Pixel(whole - 1, y), kBackground) << "line " << y;
                    EXPECT_NE(target.Pixel(whole, y), kBackground) << "line " << y;
                }
            }
        }
    }
}

}  // namespace
