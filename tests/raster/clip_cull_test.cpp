// Back-face culling by cull mode on both paths, including where the paths differ on zero area.
#include <gtest/gtest.h>

#include "clip_test_support.h"

namespace {

using namespace cliptest;

// Lane 0 clockwise on the screen (negative area), lane 1 its mirror image, lane 2 zero area,
// lane 3 clockwise again.
void FillCullLanes(VertexBatch& batch) {
    SetScreenLane(batch, 0, 30, 30, 60, 40, 40, 70);
    SetScreenLane(batch, 1, 30, 30, 40, 70, 60, 40);
    SetScreenLane(batch, 2, 30, 30, 40, 40, 50, 50);
    SetScreenLane(batch, 3, 50, 30, 80, 60, 20, 60);
}

struct CullCase {
    std::uint32_t mode;
    std::uint32_t keepScalar;
    std::uint32_t keepSse;
};

// The scalar path keeps a lane under D3DCULL_CCW when the area's sign bit is set and under
// D3DCULL_CW when the area is positive and non-zero, so a zero area (stored as +0) is dropped by
// both; the SSE path compares (<= 0, >= 0) and keeps it under both. Modes other than the named
// ones keep everything on the scalar path and cull as D3DCULL_CCW on the SSE path.
const CullCase kCullCases[] = {
    {CULL_NONE, 0xF, 0xF},
    {CULL_CCW, 0b1001, 0b1101},
    {CULL_CW, 0b0010, 0b0110},
    {0, 0xF, 0b1101},
    {7, 0xF, 0b1101},
};

class Culling : public ::testing::TestWithParam<bool> {
protected:
    bool sse() const { return GetParam(); }
    ClipDevice device{GetParam()};
    DrawRounding rounding{GetParam()};
    alignas(16) VertexBatch batch{};
};

TEST_P(Culling, KeepsLanesByModeAndPath) {
    for (const CullCase& c : kCullCases) {
        FillCullLanes(batch);
        device->renderStates[RS_CULLMODE] = c.mode;
        const std::uint32_t expected = sse() ? c.keepSse : c.keepScalar;

        ClipResult direct{};
        direct.keepMask = kAllLanes;
        ProjectBatch(*device, batch);
        CullBatch(*device, batch, direct);
        EXPECT_EQ(direct.keepMask, expected) << "mode " << c.mode;

        // The same decisions inside the whole batch clip.
        ClipResult clipped{};
        ClipBatch(*device, batch, clipped);
        EXPECT_EQ(clipped.keepMask, expected) << "mode " << c.mode;
    }
}

TEST(CullingScalar, NegativeZeroAreaIsKeptByTheCcwTest) {
    // A zero area that comes out as -0 has its sign bit set: the scalar D3DCULL_CCW test keeps it.
    DrawRounding rounding(false);
    alignas(16) VertexBatch batch{};
    SetScreenLane(batch, 0, 0, 0, 0, 0, 0, 0);
    ProjectBatchScalar(batch);
    for (VertexSlot& slot : batch.corner) slot.sy.lane[0] = 0.0f;
    batch.corner[0].sx.lane[0] = -0.0f;
    batch.corner[1].sx.lane[0] = 0.0f;
    // (0 - 0) x (-0 - 0) - (0 - 0) x (0 - 0) = -0 - 0 = -0
    ClipResult result{};
    result.keepMask = 1;
    CullBatchScalar(CULL_CCW, batch, result);
    EXPECT_EQ(result.keepMask, 1u);
    result.keepMask = 1;
    CullBatchScalar(CULL_CW, batch, result);
    EXPECT_EQ(result.keepMask, 0u);
}

INSTANTIATE_TEST_SUITE_P(Paths, Culling, ::testing::Bool(),
                         [](const auto& info) { return std::string(PathName(info.param)); });

}  // namespace
