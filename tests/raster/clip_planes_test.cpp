// The near-plane and far-bound tests and the geometric clip of crossing lanes, on both paths.
#include <gtest/gtest.h>

#include "clip_test_support.h"

namespace {

using namespace cliptest;

class ClipPlanes : public ::testing::TestWithParam<bool> {
protected:
    bool sse() const { return GetParam(); }
    ClipDevice device{GetParam()};
    DrawRounding rounding{GetParam()};
    alignas(16) VertexBatch batch{};
};

TEST_P(ClipPlanes, BatchWhollyBeforeTheNearPlaneIsNeitherDrawnNorQueued) {
    for (int lane = 0; lane < kBatchLanes; ++lane)
        SetLane(batch, lane, {30, 30, -0.5f, 1}, {60, 40, -1, 1}, {40, 70, -0.25f, 1});
    batch.corner[0].sx.lane[0] = 1234.0f;  // projection must not run
    ClipResult result{};
    ClipBatch(*device, batch, result);
    EXPECT_EQ(result.keepMask, 0u);
    EXPECT_EQ(result.clipMask, 0u);
    EXPECT_EQ(batch.corner[0].sx.lane[0], 1234.0f);

    ClipAndRasterizeBatch(*device, batch);
    EXPECT_EQ(device->drawCount, 0);
    EXPECT_EQ(device->clipCount, 0);
}

TEST_P(ClipPlanes, NearTestAtTheBoundary) {
    // The scalar test nudges the difference by 1e-37 before reading its sign, so a Z a hair in
    // front of MinZ still counts as inside there; the SSE compare is exact.
    struct Case {
        float z;
        bool insideScalar, insideSse;
    } cases[] = {{0.0f, true, true}, {1e-30f, true, true}, {-1e-38f, true, false}, {-1e-36f, false, false}};
    for (const Case& c : cases) {
        for (int lane = 0; lane < kBatchLanes; ++lane) SetLane(batch, lane, {30, 30, c.z, 1}, {60, 40, c.z, 1}, {40, 70, c.z, 1});
        ClipResult result{};
        ClipBatch(*device, batch, result);
        EXPECT_EQ(result.keepMask, (sse() ? c.insideSse : c.insideScalar) ? kAllLanes : 0u) << "z " << c.z;
        EXPECT_EQ(result.clipMask, 0u);
    }
}

struct OneOutsideCase {
    int outside;   // corner beyond the near plane
    int previous;  // the corner before it in the winding, shared with the queued triangle
};

TEST_P(ClipPlanes, OneCornerOutsideBecomesTwoTrianglesSharingTheClipEdge) {
    const OneOutsideCase cases[] = {{0, 2}, {1, 0}, {2, 1}};
    for (const OneOutsideCase& c : cases) {
        device->clipCount = 0;
        FillVisible(batch);
        const int lane = 2;
        // Corners at Z = 0.5 except the outside one at -0.5: every edge to it is cut halfway.
        Corner corners[3] = {{30, 30, 0.5f, 1}, {60, 40, 0.5f, 1}, {40, 70, 0.5f, 1}};
        corners[c.outside].z = -0.5f;
        SetLane(batch, lane, corners[0], corners[1], corners[2]);
        for (int k = 0; k < 3; ++k) batch.corner[k].diffuse[CH_R].lane[lane] = 100.0f * k;
        const float originalArea = ClipSpaceArea(batch, lane);

        ClipResult result{};
        ClipBatch(*device, batch, result);
        SCOPED_TRACE(c.outside);
        EXPECT_EQ(result.keepMask, kAllLanes);
        EXPECT_EQ(result.clipMask, 1u << lane);
        EXPECT_EQ((result.nearCodes >> (4 * lane)) & 7u, 1u << c.outside);
        ASSERT_EQ(device->clipCount, 1);

        // The lane keeps its corners except the outside one, moved halfway toward the next one.
        const int next = (c.outside + 1) % 3;
        const VertexView moved = ViewOf(batch, c.outside, lane);
        EXPECT_EQ(moved(&VertexSlot::Z), 0.0f);
        EXPECT_FLOAT_EQ(moved(&VertexSlot::X), (corners[c.outside].x + corners[next].x) / 2);
        EXPECT_FLOAT_EQ(moved(&VertexSlot::Y), (corners[c.outside].y + corners[next].y) / 2);
        EXPECT_FLOAT_EQ(moved.Diffuse(CH_R), 50.0f * (c.outside + next));

        // The queued triangle: (moved corner, previous corner, point halfway to the previous one).
        VertexBatch& queued = device->clipBatch;
        const VertexView q0 = ViewOf(queued, 0, 0), q1 = ViewOf(queued, 1, 0), q2 = ViewOf(queued, 2, 0);
        for (auto group : {&VertexSlot::X, &VertexSlot::Y, &VertexSlot::Z, &VertexSlot::W})
            EXPECT_EQ(q0(group), moved(group));
        EXPECT_EQ(q1(&VertexSlot::X), corners[c.previous].x);
        EXPECT_EQ(q1(&VertexSlot::Y), corners[c.previous].y);
        EXPECT_EQ(q2(&VertexSlot::Z), 0.0f);
        EXPECT_FLOAT_EQ(q2(&VertexSlot::X), (corners[c.outside].x + corners[c.previous].x) / 2);
        EXPECT_FLOAT_EQ(q2(&VertexSlot::Y), (corners[c.outside].y + corners[c.previous].y) / 2);
        EXPECT_FLOAT_EQ(q2.Diffuse(CH_R), 50.0f * (c.outside + c.previous));

        // Same winding as the triangle they replace, and together they cover the clipped part.
        const float keptArea = ScreenArea(batch, lane);
        const float queuedArea = ClipSpaceArea(queued, 0);
        EXPECT_GT(keptArea * originalArea, 0.0f);
        EXPECT_GT(queuedArea * originalArea, 0.0f);
        EXPECT_FLOAT_EQ(keptArea + queuedArea, originalArea * 0.75f);
    }
}

TEST_P(ClipPlanes, TwoCornersOutsideShrinkTheLaneInPlace) {
    const int insideOf[] = {2, 1, 0};  // codes 3, 5, 6
    for (int inside : insideOf) {
        device->clipCount = 0;
        FillVisible(batch);
        Corner corners[3] = {{30, 30, -1.0f, 1}, {60, 40, -1.0f, 1}, {40, 70, -1.0f, 1}};
        corners[inside].z = 1.0f;
        SetLane(batch, 1, corners[0], corners[1], corners[2]);
        ClipResult result{};
        ClipBatch(*device, batch, result);
        SCOPED_TRACE(inside);
        EXPECT_EQ(result.keepMask, kAllLanes);
        EXPECT_EQ(result.clipMask, 2u);
        EXPECT_EQ(device->clipCount, 0);
        for (int k = 0; k < 3; ++k) {
            const VertexView v = ViewOf(batch, k, 1);
            if (k == inside) {
                EXPECT_EQ(v(&VertexSlot::Z), 1.0f);
                EXPECT_EQ(v(&VertexSlot::X), corners[k].x);
                continue;
            }
            EXPECT_EQ(v(&VertexSlot::Z), 0.0f);
            EXPECT_FLOAT_EQ(v(&VertexSlot::X), (corners[k].x + corners[inside].x) / 2);
            EXPECT_FLOAT_EQ(v(&VertexSlot::Y), (corners[k].y + corners[inside].y) / 2);
        }
    }
}

TEST_P(ClipPlanes, FarClippingOnlyBeyondTheFarBound) {
    struct Case {
        float z;
        bool clipped;
    } cases[] = {{1.0f, false}, {5e37f, false}, {1e38f, false}, {1.5e38f, true}, {3e38f, true}};
    for (const Case& c : cases) {
        device->clipCount = 0;
        FillVisible(batch);
        SetLane(batch, 3, {30, 30, 0.5f, 1}, {60, 40, 0.5f, 1}, {40, 70, c.z, 1});
        ClipResult result{};
        ClipBatch(*device, batch, result);
        SCOPED_TRACE(c.z);
        EXPECT_EQ(result.keepMask, kAllLanes);
        EXPECT_EQ(result.clipMask, c.clipped ? 8u : 0u);
        EXPECT_EQ(batch.corner[2].Z.lane[3], c.clipped ? device->viewport.maxZ : c.z);
        EXPECT_EQ(device->clipCount, c.clipped ? 1 : 0);
    }
}

TEST_P(ClipPlanes, LaneWhollyBeyondTheFarBoundIsDropped) {
    FillVisible(batch);
    SetLane(batch, 0, {30, 30, 2e38f, 1}, {60, 40, 2e38f, 1}, {40, 70, 2e38f, 1});
    ClipResult result{};
    ClipBatch(*device, batch, result);
    EXPECT_EQ(result.keepMask, 0xEu);
    EXPECT_EQ(result.clipMask, 0u);
}

TEST_P(ClipPlanes, ALaneCrossingBothPlanesIsClippedAtTheNearPlaneOnly) {
    FillVisible(batch);
    SetLane(batch, 0, {30, 30, -1.0f, 1}, {60, 40, 0.5f, 1}, {40, 70, 2e38f, 1});
    ClipResult result{};
    ClipBatch(*device, batch, result);
    EXPECT_EQ(result.clipMask, 1u);
    EXPECT_EQ((result.nearCodes & 7u), 1u);
    EXPECT_EQ((result.farCodes & 7u), 4u);
    EXPECT_EQ(batch.corner[0].Z.lane[0], 0.0f);
    EXPECT_EQ(batch.corner[2].Z.lane[0], 2e38f);
}

INSTANTIATE_TEST_SUITE_P(Paths, ClipPlanes, ::testing::Bool(),
                         [](const auto& info) { return std::string(PathName(info.param)); });

}  // namespace
