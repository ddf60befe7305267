#include "render/vertex_fetch.h"

#include <gtest/gtest.h>

#include "vertex_test_support.h"

namespace {

constexpr float kUntouched = -7.25f;

// Builds vertex bytes: floats and packed colours appended in order.
class VertexBytes {
public:
    VertexBytes& F(float f) {
        Append(&f, sizeof f);
        return *this;
    }
    VertexBytes& Color(std::uint32_t c) {
        Append(&c, sizeof c);
        return *this;
    }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }

private:
    void Append(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    std::vector<std::uint8_t> bytes_;
};

struct FetchFixture : ::testing::Test {
    std::unique_ptr<RenderDevice> device = MakeDevice();
    alignas(16) VertexBatch batch;
    void SetUp() override { FillBatch(batch, kUntouched); }

    // Every lane of every group of corner k, except lane `lane` of the groups listed, is untouched.
    void ExpectOnlyWritten(int k, int lane, std::initializer_list<const Lanes*> written) {
        const VertexSlot& slot = batch.corner[k];
        const Lanes* groups = &slot.x;
        for (int g = 0; g < 46; ++g) {
            bool listed = false;
            for (const Lanes* w : written) listed |= w == &groups[g];
            for (int l = 0; l < kBatchLanes; ++l) {
                if (listed && l == lane) continue;
                EXPECT_EQ(groups[g].lane[l], kUntouched) << "group " << g << " lane " << l;
            }
        }
        for (int other = 0; other < 3; ++other) {
            if (other == k) continue;
            const float* f = &batch.corner[other].x.lane[0];
            for (int i = 0; i < 46 * 4; ++i) ASSERT_EQ(f[i], kUntouched) << "corner " << other;
        }
    }
};

TEST_F(FetchFixture, Format834WithStride32FetchesPositionDiffuseAndTwoTextureSetsOnly) {
    std::vector<VertexBytes> vertices(3);
    for (int v = 0; v < 3; ++v)
        vertices[v].F(v + 0.5f).F(v + 1.5f).F(v + 2.5f).Color(0x80FF1002u + v).F(0.25f * v).F(0.75f).F(-1.0f).F(v);
    std::vector<std::uint8_t> stream;
    for (auto& v : vertices) stream.insert(stream.end(), v.data(), v.data() + v.size());
    ASSERT_EQ(vertices[0].size(), 32u);
    device->SetVertexFormat(834);
    device->SetStreamSource(0, stream.data(), 834, 32);

    FetchVertex(*device, 1, 2, batch.corner[1], 3);
    const VertexSlot& c = batch.corner[1];
    EXPECT_EQ(c.x.lane[3], 2.5f);
    EXPECT_EQ(c.y.lane[3], 3.5f);
    EXPECT_EQ(c.z.lane[3], 4.5f);
    EXPECT_EQ(c.diffuse[CH_A].lane[3], 128.0f);
    EXPECT_EQ(c.diffuse[CH_R].lane[3], 255.0f);
    EXPECT_EQ(c.diffuse[CH_G].lane[3], 16.0f);
    EXPECT_EQ(c.diffuse[CH_B].lane[3], 4.0f);
    EXPECT_EQ(c.tex[0][0].lane[3], 0.5f);
    EXPECT_EQ(c.tex[0][1].lane[3], 0.75f);
    EXPECT_EQ(c.tex[1][0].lane[3], -1.0f);
    EXPECT_EQ(c.tex[1][1].lane[3], 2.0f);
    ExpectOnlyWritten(1, 3,
                      {&c.x, &c.y, &c.z, &c.diffuse[0], &c.diffuse[1], &c.diffuse[2], &c.diffuse[3], &c.tex[0][0],
                       &c.tex[0][1], &c.tex[1][0], &c.tex[1][1]});
}

TEST_F(FetchFixture, EveryAttributeKindLandsInItsGroupInLayoutOrder) {
    const VertexFormat all = VF_XYZ | VF_NORMAL | VF_WEIGHT1 | VF_WEIGHT2 | VF_WEIGHT3 | VF_DIFFUSE | VF_SPECULAR |
                             VF_TEX0 | VF_TEX1 | VF_TEX2 | VF_TEX3;
    VertexBytes v;
    v.F(1).F(2).F(3);                    // position
    v.F(4).F(5).F(6);                    // normal
    v.F(7).F(8).F(9);                    // weights 1-3
    v.Color(0x0A0B0C0Du);                // diffuse
    v.Color(0xF0E0D0C0u);                // specular
    v.F(10).F(11).F(12).F(13).F(14).F(15).F(16).F(17);  // texture sets 0-3
    device->SetVertexFormat(all);
    device->SetStreamSource(0, v.data(), all, static_cast<std::uint32_t>(v.size()));

    FetchVertex(*device, 1, 0, batch.corner[0], 0);
    const VertexSlot& c = batch.corner[0];
    const float expected[][2] = {
        {c.x.lane[0], 1},  {c.y.lane[0], 2},  {c.z.lane[0], 3},  {c.nx.lane[0], 4}, {c.ny.lane[0], 5},
        {c.nz.lane[0], 6}, {c.w1.lane[0], 7}, {c.w2.lane[0], 8}, {c.w3.lane[0], 9},
        {c.diffuse[CH_A].lane[0], 0x0A},  {c.diffuse[CH_R].lane[0], 0x0B},  {c.diffuse[CH_G].lane[0], 0x0C},
        {c.diffuse[CH_B].lane[0], 0x0D},  {c.specular[CH_A].lane[0], 0xF0}, {c.specular[CH_R].lane[0], 0xE0},
        {c.specular[CH_G].lane[0], 0xD0}, {c.specular[CH_B].lane[0], 0xC0}, {c.tex[0][0].lane[0], 10},
        {c.tex[0][1].lane[0], 11}, {c.tex[1][0].lane[0], 12}, {c.tex[1][1].lane[0], 13},
        {c.tex[2][0].lane[0], 14}, {c.tex[2][1].lane[0], 15}, {c.tex[3][0].lane[0], 16},
        {c.tex[3][1].lane[0], 17},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(expected[i][0], expected[i][1]) << "attribute " << i;
    EXPECT_EQ(c.sx.lane[0], kUntouched);
    EXPECT_EQ(c.X.lane[0], kUntouched);
}

// Position, tween position, diffuse, tween diffuse, then texture set 0 which must be found after
// the tween attributes whether tweening is on or not.
struct TweenCase {
    bool tweening;
    float f;
    float x, r, u;
};

TEST_F(FetchFixture, TweenAttributesBlendWhenTweeningAndAreSkippedOtherwise) {
    const VertexFormat format = VF_XYZ | VF_DIFFUSE | VF_TEX0;
    VertexBytes v;
    v.F(2).F(4).F(8).F(10).F(20).F(40).Color(0xFF400000u).Color(0x7F800000u).F(0.5f).F(0.125f);
    device->SetVertexFormat(format);
    device->SetStreamSource(0, v.data(), format, static_cast<std::uint32_t>(v.size()));
    device->SetStreamTweenFormat(0, VF_XYZ | VF_DIFFUSE);

    const TweenCase cases[] = {
        {false, 0.0f, 2.0f, 64.0f, 0.5f},
        {true, 0.25f, 0.25f * 10 + 0.75f * 2, 0.25f * 128 + 0.75f * 64, 0.5f},
        {true, 1.0f, 10.0f, 128.0f, 0.5f},
    };
    for (const TweenCase& t : cases) {
        FillBatch(batch, kUntouched);
        device->tweening = t.tweening ? kDirty : 0;
        device->tweenFactor = t.f;
        device->tweenComplement = 1.0f - t.f;
        FetchVertex(*device, 1, 0, batch.corner[2], 1);
        const VertexSlot& c = batch.corner[2];
        SCOPED_TRACE(t.f);
        EXPECT_EQ(c.x.lane[1], t.x);
        EXPECT_EQ(c.y.lane[1], t.tweening ? t.f * 20 + (1 - t.f) * 4 : 4.0f);
        EXPECT_EQ(c.diffuse[CH_R].lane[1], t.r);
        EXPECT_EQ(c.diffuse[CH_A].lane[1], t.tweening ? t.f * 127 + (1 - t.f) * 255 : 255.0f);
        EXPECT_EQ(c.tex[0][0].lane[1], t.u);
        EXPECT_EQ(c.tex[0][1].lane[1], 0.125f);
    }
}

TEST_F(FetchFixture, SeveralStreamsUseTheirOwnFormatsAndStridesAndLaterStreamsWin) {
    // Stream 0: position and normal, stride 28 (4 bytes of padding). Stream 1: position and texture
    // set 2, stride 20. The device format would describe neither.
    std::vector<float> s0(7 * 4), s1(5 * 4);
    for (int v = 0; v < 4; ++v) {
        for (int i = 0; i < 7; ++i) s0[v * 7 + i] = 100.0f * v + i;
        for (int i = 0; i < 5; ++i) s1[v * 5 + i] = 1000.0f * v + i;
    }
    device->SetVertexFormat(VF_SPECULAR);
    device->SetStreamSource(0, s0.data(), VF_XYZ | VF_NORMAL, 28);
    device->SetStreamSource(1, s1.data(), VF_XYZ | VF_TEX2, 20);

    FetchVertex(*device, 2, 3, batch.corner[0], 2);
    const VertexSlot& c = batch.corner[0];
    EXPECT_EQ(c.x.lane[2], 3000.0f);  // stream 1 overwrote stream 0's position
    EXPECT_EQ(c.z.lane[2], 3002.0f);
    EXPECT_EQ(c.nx.lane[2], 303.0f);
    EXPECT_EQ(c.nz.lane[2], 305.0f);
    EXPECT_EQ(c.tex[2][0].lane[2], 3003.0f);
    EXPECT_EQ(c.tex[2][1].lane[2], 3004.0f);
    EXPECT_EQ(c.specular[CH_A].lane[2], kUntouched);

    // With one stream counted, the device format describes it, not the stream's own word.
    FillBatch(batch, kUntouched);
    device->SetVertexFormat(VF_XYZ);
    FetchVertex(*device, 1, 1, batch.corner[0], 0);
    EXPECT_EQ(c.x.lane[0], 100.0f);
    EXPECT_EQ(c.nx.lane[0], kUntouched);
}

}  // namespace
