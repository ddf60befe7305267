// Lanes whose divide gives no finite screen position are dropped; no input makes the clipper read
// or write outside its batches, and every draw ends with both queues empty.
#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "clip_test_support.h"

namespace {

using namespace cliptest;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class NonFinite : public ::testing::TestWithParam<bool> {
protected:
    ClipDevice device{GetParam()};
    DrawRounding rounding{GetParam()};
    alignas(16) VertexBatch batch{};
};

TEST_P(NonFinite, LanesWithoutAFiniteScreenPositionAreDropped) {
    struct Case {
        const char* name;
        Corner bad;
        bool keptScalar, keptSse;
    } cases[] = {
        {"W zero", {60, 40, 0.5f, 0}, false, false},
        // 1 / 1e-40 overflows: to infinity when rounding to nearest, to the largest float when
        // rounding down as the SSE path's draws do.
        {"W subnormal", {60, 40, 0.5f, 1e-40f}, false, true},
        {"X infinite", {kInf, 40, 0.5f, 1}, false, false},
        {"Y NaN", {60, kNaN, 0.5f, 1}, false, false},
        {"W NaN", {60, 40, 0.5f, kNaN}, false, false},
        {"X huge but finite", {1e30f, 40, 0.5f, 1}, true, true},
    };
    for (const auto& c : cases) {
        FillVisible(batch);
        SetLane(batch, 2, {30, 30, 0.5f, 1}, c.bad, {40, 70, 0.5f, 1});
        ClipResult result{};
        ClipBatch(*device, batch, result);
        EXPECT_EQ(result.keepMask, (GetParam() ? c.keptSse : c.keptScalar) ? kAllLanes : 0xBu) << c.name;
    }
}

TEST_P(NonFinite, ClippedTriangleWithANonFiniteCornerIsDroppedFromTheClipQueue) {
    // The new triangle reaches the clip queue; its divide happens when the queue is processed.
    FillVisible(batch);
    SetLane(batch, 0, {30, 30, -1.0f, 1}, {kInf, 40, 0.5f, 1}, {40, 70, 0.5f, 1});
    ClipAndRasterizeBatch(*device, batch);
    EXPECT_EQ(device->clipCount, 1);
    FlushBatches(*device);
    EXPECT_EQ(device->clipCount, 0);
    EXPECT_EQ(device->drawCount, 0);
}

TEST_P(NonFinite, RandomBatchesLeaveBothQueuesEmptyAfterEachFlush) {
    // Positions from a mix of ordinary, huge, tiny, zero and non-finite values, every cull mode.
    const float values[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 37.0f, -200.0f, 1e-39f, 1e20f, -1e30f, 3e38f,
                            kInf, -kInf, kNaN, 1e38f, 150.0f};
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> pick(0, std::size(values) - 1);
    device->vertexFormat = VF_XYZ | VF_DIFFUSE | VF_SPECULAR | VF_NORMAL | VF_TEX0 | VF_TEX3;
    for (int draw = 0; draw < 300; ++draw) {
        device->renderStates[RS_CULLMODE] = static_cast<std::uint32_t>(draw % 4);
        for (int batchNumber = 0; batchNumber < 3; ++batchNumber) {
            for (VertexSlot& slot : batch.corner)
                for (Lanes* group : {&slot.X, &slot.Y, &slot.Z, &slot.W, &slot.diffuse[1], &slot.tex[3][1]})
                    for (float& value : group->lane) value = values[pick(random)];
            ClipAndRasterizeBatch(*device, batch);
            ASSERT_GE(device->drawCount, 0);
            ASSERT_LE(device->drawCount, 3);
            ASSERT_GE(device->clipCount, 0);
            ASSERT_LE(device->clipCount, 3);
        }
        FlushBatches(*device);
        ASSERT_EQ(device->drawCount, 0);
        ASSERT_EQ(device->clipCount, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, NonFinite, ::testing::Bool(),
                         [](const auto& info) { return std::string(PathName(info.param)); });

}  // namespace
