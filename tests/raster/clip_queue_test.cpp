// The draw and clip queues: which lanes are copied where, when a full queue is rasterized, and
// the padding at the end of a draw. A rasterized batch is recognised by its premultiplied colours
// (diffuse x rhw), which setup writes back into the batch.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "clip_test_support.h"

namespace {

using namespace cliptest;

class Queues : public ::testing::TestWithParam<bool> {
protected:
    Queues() {
        // W = 2 everywhere, so rhw = 0.5 and setup halves the colours.
        for (int lane = 0; lane < kBatchLanes; ++lane) {
            SetLane(batch, lane, {60, 60, 0.5f, 2}, {120, 80, 0.5f, 2}, {80, 140, 0.5f, 2});
            for (int k = 0; k < 3; ++k) batch.corner[k].diffuse[CH_G].lane[lane] = 10.0f * lane + k;
        }
    }
    ClipDevice device{GetParam()};
    DrawRounding rounding{GetParam()};
    alignas(16) VertexBatch batch{};
};

TEST_P(Queues, KeptLanesOfAPartlyRejectedBatchAreQueuedInOrder) {
    // Lanes 1 and 3 lie left of the viewport.
    SetLane(batch, 1, {-60, 60, 0.5f, 2}, {-20, 80, 0.5f, 2}, {0, 140, 0.5f, 2});
    SetLane(batch, 3, {-60, 60, 0.5f, 2}, {-20, 80, 0.5f, 2}, {0, 140, 0.5f, 2});
    batch.corner[1].specular[CH_B].lane[2] = 77.0f;  // not in the format: not copied
    device->drawBatch.corner[1].specular[CH_B].lane[1] = 5.0f;
    ClipAndRasterizeBatch(*device, batch);
    ASSERT_EQ(device->drawCount, 2);
    const int sourceOf[] = {0, 2};
    for (int target = 0; target < 2; ++target)
        for (int k = 0; k < 3; ++k) {
            const VertexSlot& to = device->drawBatch.corner[k];
            const VertexSlot& from = batch.corner[k];
            const int lane = sourceOf[target];
            EXPECT_EQ(to.sx.lane[target], from.sx.lane[lane]);
            EXPECT_EQ(to.sy.lane[target], from.sy.lane[lane]);
            EXPECT_EQ(to.rhw.lane[target], 0.5f);
            EXPECT_EQ(to.diffuse[CH_G].lane[target], 10.0f * lane + k);
        }
    EXPECT_EQ(device->drawBatch.corner[1].specular[CH_B].lane[1], 5.0f);
}

TEST_P(Queues, TheScreenPositionTravelsEvenWithoutPositionInTheFormat) {
    device->vertexFormat = VF_DIFFUSE;
    ProjectBatch(*device, batch);
    QueueDrawLane(*device, batch, 1);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(device->drawBatch.corner[k].sx.lane[0], batch.corner[k].sx.lane[1]);
        EXPECT_EQ(device->drawBatch.corner[k].sy.lane[0], batch.corner[k].sy.lane[1]);
        EXPECT_EQ(device->drawBatch.corner[k].rhw.lane[0], 0.5f);
    }
}

TEST_P(Queues, TheFourthQueuedLaneRasterizesTheDrawBatch) {
    for (int lane = 0; lane < 3; ++lane) {
        ProjectBatch(*device, batch);
        QueueDrawLane(*device, batch, lane);
        EXPECT_EQ(device->drawCount, lane + 1);
        EXPECT_EQ(device->drawBatch.corner[0].diffuse[CH_G].lane[lane], 10.0f * lane) << "not yet rasterized";
    }
    QueueDrawLane(*device, batch, 3);
    EXPECT_EQ(device->drawCount, 0);
    for (int lane = 0; lane < kBatchLanes; ++lane)
        EXPECT_EQ(device->drawBatch.corner[0].diffuse[CH_G].lane[lane], 5.0f * lane) << "premultiplied by setup";
}

TEST_P(Queues, FlushPadsTheDrawBatchWithDegenerateTriangles) {
    ProjectBatch(*device, batch);
    QueueDrawLane(*device, batch, 2);
    FlushBatches(*device);
    EXPECT_EQ(device->drawCount, 0);
    EXPECT_EQ(device->clipCount, 0);
    const VertexBatch& drawn = device->drawBatch;
    EXPECT_EQ(drawn.corner[0].diffuse[CH_G].lane[0], 10.0f) << "the queued lane was rasterized";
    for (int lane = 1; lane < kBatchLanes; ++lane)
        for (const VertexSlot& slot : drawn.corner) {
            EXPECT_EQ(slot.sx.lane[lane], 0.0f);
            EXPECT_EQ(slot.sy.lane[lane], 0.0f);
            EXPECT_EQ(slot.rhw.lane[lane], 1.0f);
        }
}

TEST_P(Queues, FlushProcessesTheClipQueueAndDrainsWhatItQueues) {
    device->renderStates[RS_CULLMODE] = CULL_CCW;  // drops the zero-area padding, so lanes are queued
    // Two lanes each lose one corner to the near plane: two triangles wait in the clip queue.
    SetLane(batch, 0, {60, 60, -0.5f, 2}, {120, 80, 0.5f, 2}, {80, 140, 0.5f, 2});
    SetLane(batch, 1, {60, 60, 0.5f, 2}, {120, 80, -0.5f, 2}, {80, 140, 0.5f, 2});
    ClipAndRasterizeBatch(*device, batch);
    ASSERT_EQ(device->clipCount, 2);
    EXPECT_EQ(device->drawCount, 0) << "all four lanes kept: drawn straight away";
    FlushBatches(*device);
    EXPECT_EQ(device->clipCount, 0);
    EXPECT_EQ(device->drawCount, 0);
    // The scalar path culls the zero-area padding, so the two clipped triangles go on through the
    // draw queue; the SSE path keeps zero areas, so the whole clip batch is rasterized in place.
    const VertexBatch& drawn = GetParam() ? device->clipBatch : device->drawBatch;
    for (int lane = 0; lane < 2; ++lane)
        for (const VertexSlot& slot : drawn.corner) {
            EXPECT_EQ(slot.rhw.lane[lane], 0.5f);
            EXPECT_GE(slot.sx.lane[lane], 30.0f);
        }
}

TEST_P(Queues, FullClipQueueOfKeptTrianglesIsRasterizedInPlace) {
    for (int n = 0; n < 4; ++n) {
        QueueClipTriangle(*device, ViewOf(batch, 0, n), ViewOf(batch, 1, n), ViewOf(batch, 2, n), 0);
        EXPECT_EQ(device->clipCount, (n + 1) % 4);
    }
    EXPECT_EQ(device->drawCount, 0);
    const VertexBatch& clipped = device->clipBatch;
    for (int lane = 0; lane < kBatchLanes; ++lane) {
        EXPECT_EQ(clipped.corner[0].rhw.lane[lane], 0.5f);
        EXPECT_EQ(clipped.corner[0].diffuse[CH_G].lane[lane], 5.0f * lane);
    }
}

TEST_P(Queues, CountsOutsideTheirRangeStillAddressALaneOfTheBatch) {
    device->drawCount = 6;
    device->clipCount = -3;
    ProjectBatch(*device, batch);
    QueueDrawLane(*device, batch, 0);
    QueueClipTriangle(*device, ViewOf(batch, 0, 1), ViewOf(batch, 1, 1), ViewOf(batch, 2, 1), 0);
    EXPECT_EQ(device->drawCount, 3);
    EXPECT_EQ(device->clipCount, 2);
    FlushBatches(*device);
    EXPECT_EQ(device->drawCount, 0);
    EXPECT_EQ(device->clipCount, 0);
}

TEST_P(Queues, QueuedLanesKeepTheFlatColourOfTheLaneTheyCameFrom) {
    const Color32 colours[] = {0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u};
    std::copy(std::begin(colours), std::end(colours), device->flatColors);
    // Lane 0 lies left of the viewport, lane 2 loses a corner to the near plane.
    SetLane(batch, 0, {-60, 60, 0.5f, 2}, {-20, 80, 0.5f, 2}, {0, 140, 0.5f, 2});
    SetLane(batch, 2, {60, 60, -0.5f, 2}, {120, 80, 0.5f, 2}, {80, 140, 0.5f, 2});
    ClipAndRasterizeBatch(*device, batch);
    ASSERT_EQ(device->drawCount, 3);
    ASSERT_EQ(device->clipCount, 1);
    EXPECT_EQ(LaneFlatColor(*device, device->drawBatch, 0), colours[1]);
    EXPECT_EQ(LaneFlatColor(*device, device->drawBatch, 1), colours[2]);
    EXPECT_EQ(LaneFlatColor(*device, device->drawBatch, 2), colours[3]);
    EXPECT_EQ(LaneFlatColor(*device, device->clipBatch, 0), colours[2]);
    EXPECT_EQ(LaneFlatColor(*device, batch, 2), colours[2]);
    FlushBatches(*device);
    // Drawing the queues leaves the device's own colours as they were.
    EXPECT_TRUE(std::equal(std::begin(colours), std::end(colours), device->flatColors));
}

INSTANTIATE_TEST_SUITE_P(Paths, Queues, ::testing::Bool(),
                         [](const auto& info) { return std::string(PathName(info.param)); });

}  // namespace
