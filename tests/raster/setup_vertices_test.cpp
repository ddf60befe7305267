// Setup's per-vertex steps: the rhw premultiply, the top-to-bottom sort and the corner exchange.
#include <gtest/gtest.h>

#include <algorithm>

#include "clip_test_support.h"
#include "raster/triangle_setup.h"

namespace {

using namespace cliptest;

// Every attribute of corner k, lane l gets a value that names it.
void Tag(VertexBatch& batch) {
    for (int k = 0; k < 3; ++k) {
        VertexSlot& slot = batch.corner[k];
        for (int lane = 0; lane < kBatchLanes; ++lane) {
            const float tag = 100.0f * k + 10.0f * lane;
            for (Lanes* group : {&slot.X, &slot.Y, &slot.Z, &slot.W, &slot.nx, &slot.ny, &slot.nz, &slot.sx, &slot.sy,
                                 &slot.rhw})
                group->lane[lane] = tag + 1;
            for (int c = 0; c < 4; ++c) {
                slot.diffuse[c].lane[lane] = tag + 2 + c;
                slot.specular[c].lane[lane] = tag + 6 + c;
            }
            for (int set = 0; set < kTextureSets; ++set) {
                slot.tex[set][0].lane[lane] = tag + 3 + set;
                slot.tex[set][1].lane[lane] = tag + 7 + set;
            }
        }
    }
}

TEST(SwapLaneVertices, ExchangesTheListedAttributesOfOneLaneOnly) {
    alignas(16) VertexBatch batch{};
    Tag(batch);
    alignas(16) VertexBatch before = batch;
    SwapLaneVertices(batch, 0, 2, 1);
    for (int k = 0; k < 3; ++k)
        for (int lane = 0; lane < kBatchLanes; ++lane) {
            const bool swapped = lane == 1 && k != 1;
            const int from = swapped ? 2 - k : k;
            const VertexSlot& now = batch.corner[k];
            const VertexSlot& was = before.corner[from];
            const VertexSlot& same = before.corner[k];
            SCOPED_TRACE(testing::Message() << "corner " << k << " lane " << lane);
            for (auto group : {&VertexSlot::sx, &VertexSlot::sy, &VertexSlot::rhw, &VertexSlot::nx, &VertexSlot::ny,
                               &VertexSlot::nz})
                EXPECT_EQ((now.*group).lane[lane], (was.*group).lane[lane]);
            for (int c = 0; c < 4; ++c) {
                EXPECT_EQ(now.diffuse[c].lane[lane], was.diffuse[c].lane[lane]);
                EXPECT_EQ(now.specular[c].lane[lane], same.specular[c].lane[lane]);
            }
            for (int set = 0; set < kTextureSets; ++set) {
                EXPECT_EQ(now.tex[set][0].lane[lane], was.tex[set][0].lane[lane]);
                EXPECT_EQ(now.tex[set][1].lane[lane], was.tex[set][1].lane[lane]);
            }
            for (auto group : {&VertexSlot::X, &VertexSlot::Y, &VertexSlot::Z, &VertexSlot::W})
                EXPECT_EQ((now.*group).lane[lane], (same.*group).lane[lane]);
        }
}

TEST(SortBatchVertices, OrdersEachLaneTopToBottomCarryingItsAttributes) {
    const float orders[][3] = {{1, 2, 3}, {3, 2, 1}, {2, 3, 1}, {1, 3, 2}, {3, 1, 2}, {2, 1, 3},
                               {-5, -1, 10}, {-1, -5, 10}, {4, 4, 1}, {7.5f, -0.0f, 0.0f}};
    for (const auto& order : orders) {
        alignas(16) VertexBatch batch{};
        Tag(batch);
        for (int lane = 0; lane < kBatchLanes; ++lane)
            for (int k = 0; k < 3; ++k) batch.corner[k].sy.lane[lane] = order[(k + lane) % 3];
        alignas(16) const VertexBatch before = batch;
        SortBatchVertices(batch);
        for (int lane = 0; lane < kBatchLanes; ++lane) {
            SCOPED_TRACE(testing::Message() << order[0] << " " << order[1] << " " << order[2] << " lane " << lane);
            EXPECT_LE(batch.corner[0].sy.lane[lane], batch.corner[1].sy.lane[lane]);
            EXPECT_LE(batch.corner[1].sy.lane[lane], batch.corner[2].sy.lane[lane]);
            // Each corner brought its own diffuse colour along; specular stayed behind.
            for (int k = 0; k < 3; ++k) {
                const auto& was = before.corner;
                const float sy = batch.corner[k].sy.lane[lane];
                const float diffuse = batch.corner[k].diffuse[CH_R].lane[lane];
                const bool found = std::any_of(std::begin(was), std::end(was), [&](const VertexSlot& s) {
                    return s.sy.lane[lane] == sy && s.diffuse[CH_R].lane[lane] == diffuse;
                });
                EXPECT_TRUE(found) << "corner " << k;
                EXPECT_EQ(batch.corner[k].specular[CH_R].lane[lane], was[k].specular[CH_R].lane[lane]);
            }
        }
    }
}

TEST(SortBatchVertices, CornersOnOneLineKeepTheirOrder) {
    alignas(16) VertexBatch batch{};
    Tag(batch);
    for (VertexSlot& slot : batch.corner) slot.sy.lane[0] = 5.0f;
    SortBatchVertices(batch);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(batch.corner[k].diffuse[CH_A].lane[0], 100.0f * k + 2);
}

class Premultiply : public ::testing::TestWithParam<bool> {
protected:
    DrawRounding rounding{GetParam()};
};

TEST_P(Premultiply, ScalesInterpolatedAttributesByRhw) {
    const bool sse = GetParam();
    struct Case {
        const char* name;
        VertexFormat format;
    } cases[] = {
        {"everything", VF_XYZ | VF_NORMAL | VF_DIFFUSE | VF_SPECULAR | VF_TEX0 | VF_TEX2},
        {"position only", VF_XYZ},
        {"specular only", VF_XYZ | VF_SPECULAR},
        {"diffuse only", VF_XYZ | VF_DIFFUSE},
        {"texture set 3", VF_XYZ | VF_TEX3},
    };
    for (const Case& c : cases) {
        alignas(16) VertexBatch batch{};
        Tag(batch);
        for (VertexSlot& slot : batch.corner)
            for (int lane = 0; lane < kBatchLanes; ++lane) slot.rhw.lane[lane] = 0.25f * (lane + 1);
        alignas(16) const VertexBatch before = batch;
        if (sse) PremultiplyByRhwSse(batch, c.format);
        else PremultiplyByRhwScalar(batch, c.format);
        for (int k = 0; k < 3; ++k)
            for (int lane = 0; lane < kBatchLanes; ++lane) {
                SCOPED_TRACE(testing::Message() << c.name << " corner " << k << " lane " << lane);
                const float rhw = 0.25f * (lane + 1);
                const VertexSlot& now = batch.corner[k];
                const VertexSlot& was = before.corner[k];
                const auto expect = [&](const Lanes& n, const Lanes& w, bool scaled) {
                    EXPECT_EQ(n.lane[lane], scaled ? w.lane[lane] * rhw : w.lane[lane]);
                };
                for (int ch = 0; ch < 4; ++ch) {
                    expect(now.diffuse[ch], was.diffuse[ch], c.format & VF_DIFFUSE);
                    // Only the SSE form scales specular.
                    expect(now.specular[ch], was.specular[ch], sse && (c.format & VF_SPECULAR));
                }
                for (int set = 0; set < kTextureSets; ++set) {
                    expect(now.tex[set][0], was.tex[set][0], c.format & VertexFormatTexBit(set));
                    expect(now.tex[set][1], was.tex[set][1], c.format & VertexFormatTexBit(set));
                }
                expect(now.nx, was.nx, false);
                expect(now.sx, was.sx, false);
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, Premultiply, ::testing::Bool(),
                         [](const auto& info) { return std::string(PathName(info.param)); });

}  // namespace
