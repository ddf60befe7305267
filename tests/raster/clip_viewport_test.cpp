// Viewport rejection: no geometric clip at the sides (guard band); a lane goes only when all three
// corners lie beyond the same edge.
#include <gtest/gtest.h>

#include "clip_test_support.h"

namespace {

using namespace cliptest;

struct RejectCase {
    const char* name;
    float x0, y0, x1, y1, x2, y2;
    bool keptScalar, keptSse;
};

// Viewport: x 10..110, y 20..100.
const RejectCase kRejectCases[] = {
    {"inside", 30, 30, 60, 40, 40, 70, true, true},
    {"across the left edge", -500, 30, 60, 40, 40, 70, true, true},
    {"left of the left edge", -50, 30, 0, 40, 5, 70, false, false},
    {"right of the right edge", 120, 30, 500, 40, 111, 70, false, false},
    {"above the top", 30, -30, 60, 0, 40, 19, false, false},
    {"below the bottom", 30, 101, 60, 140, 40, 300, false, false},
    {"beyond different edges", -50, 30, 200, 40, 60, 500, true, true},
    // Corners exactly on an edge: left and top count as outside on both paths; the right and
    // bottom edges are inside for the SSE compare (<=) but not for the scalar sign of +0.
    {"on the left edge", 10, 30, 10, 40, 10, 70, false, false},
    {"on the right edge", 110, 30, 110, 40, 110, 70, false, true},
    {"on the top edge", 30, 20, 60, 20, 40, 20, false, false},
    {"on the bottom edge", 30, 100, 60, 100, 40, 100, false, true},
};

class ViewportRejection : public ::testing::TestWithParam<bool> {
protected:
    bool sse() const { return GetParam(); }
    ClipDevice device{GetParam()};
    DrawRounding rounding{GetParam()};
    alignas(16) VertexBatch batch{};
};

TEST_P(ViewportRejection, DropsOnlyLanesWhollyBeyondOneEdge) {
    for (const RejectCase& c : kRejectCases) {
        FillVisible(batch);
        SetScreenLane(batch, 1, c.x0, c.y0, c.x1, c.y1, c.x2, c.y2);
        ClipResult result{};
        ClipBatch(*device, batch, result);
        const bool kept = sse() ? c.keptSse : c.keptScalar;
        EXPECT_EQ(result.keepMask, kept ? kAllLanes : 0xDu) << c.name;
        EXPECT_EQ(result.clipMask, 0u) << c.name;
        // Nothing is moved: a kept lane keeps the corners it came with.
        EXPECT_EQ(batch.corner[0].sx.lane[1], c.x0) << c.name;
        EXPECT_EQ(batch.corner[2].sy.lane[1], c.y2) << c.name;
    }
}

TEST_P(ViewportRejection, BatchWhollyLeftOfTheViewportIsNeitherDrawnNorQueued) {
    for (int lane = 0; lane < kBatchLanes; ++lane) SetScreenLane(batch, lane, -50, 30, 0, 40, 5, 70);
    ClipResult result{};
    ClipBatch(*device, batch, result);
    EXPECT_EQ(result.keepMask, 0u);
    ClipAndRasterizeBatch(*device, batch);
    EXPECT_EQ(device->drawCount, 0);
}

TEST_P(ViewportRejection, BoundsAreThoseOfTheViewportWhateverTheFourLaneCopiesHold) {
    // The clipper tests against the viewport itself, so the device's four-lane copies of its
    // bounds, whatever they hold, change no decision.
    device->laneClip = LaneClipBounds{};
    FillVisible(batch);
    ClipResult result{};
    ClipBatch(*device, batch, result);
    EXPECT_EQ(result.keepMask, kAllLanes);
}

INSTANTIATE_TEST_SUITE_P(Paths, ViewportRejection, ::testing::Bool(),
                         [](const auto& info) { return std::string(PathName(info.param)); });

}  // namespace
