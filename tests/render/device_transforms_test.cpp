#include <gtest/gtest.h>

#include <vector>

#include "device_test_support.h"

namespace {

struct SlotCase {
    std::uint32_t number;
    Matrix4 RenderDevice::*member;  // null for world matrices
    int world;
};

const Matrix4& SlotOf(const RenderDevice& device, const SlotCase& slot) {
    return slot.member != nullptr ? device.*slot.member : device.world[slot.world];
}

TEST(DeviceTransformsTest, NumbersSelectTheirSlots) {
    const SlotCase cases[] = {
        {TS_VIEW, &RenderDevice::view, 0},
        {TS_PROJECTION, &RenderDevice::projection, 0},
        {TS_WORLD0, nullptr, 0},
        {TS_WORLD0 + 255, nullptr, 255},
        {0x100 | 17, nullptr, 17},
        {0x300 | 5, nullptr, 5},  // any number with bit 0x100
        {0x80000100u | 9, nullptr, 9},
    };
    for (const SlotCase& slot : cases) {
        auto device = MakeDevice();
        device->transformsDirty = 0;
        const Matrix4 m = NumberedMatrix(static_cast<float>(slot.number));
        device->SetTransform(slot.number, m);
        EXPECT_EQ(device->transformsDirty, kDirty);
        EXPECT_TRUE(SameMatrix(SlotOf(*device, slot), m)) << "number " << slot.number;
        Matrix4 out{};
        device->GetTransform(slot.number, &out);
        EXPECT_TRUE(SameMatrix(out, m)) << "number " << slot.number;
    }
    for (std::uint32_t stage = 0; stage < 4; ++stage) {
        auto device = MakeDevice();
        const Matrix4 m = NumberedMatrix(10.0f * stage);
        device->SetTransform(TS_TEXTURE0 + stage, m);
        EXPECT_TRUE(SameMatrix(device->textureMatrix[stage], m));
        for (std::uint32_t other = 0; other < 4; ++other) {
            if (other != stage) {
                EXPECT_TRUE(SameMatrix(device->textureMatrix[other], IdentityMatrix()));
            }
        }
    }
}

TEST(DeviceTransformsTest, UnknownNumbersChangeNothingButTheMarker) {
    for (std::uint32_t number : {0u, 1u, 4u, 15u, 20u, 255u, 0x200u}) {
        auto device = MakeDevice();
        device->transformsDirty = 0;
        device->SetTransform(number, NumberedMatrix(1.0f));
        EXPECT_EQ(device->transformsDirty, kDirty) << number;
        EXPECT_TRUE(SameMatrix(device->view, IdentityMatrix()));
        EXPECT_TRUE(SameMatrix(device->world[0], IdentityMatrix()));
        // GetTransform leaves the output untouched.
        const Matrix4 sentinel = NumberedMatrix(-50.0f);
        Matrix4 out = sentinel;
        device->GetTransform(number, &out);
        EXPECT_TRUE(SameMatrix(out, sentinel)) << number;
    }
    auto device = MakeDevice();
    device->GetTransform(TS_VIEW, nullptr);  // no output, no harm
}

TEST(DeviceTransformsTest, MultiplyPutsTheGivenMatrixOnTheLeft) {
    auto device = MakeDevice();
    Matrix4 current = IdentityMatrix();
    current.Translate(5.0f, 0.0f, 0.0f);
    Matrix4 given = IdentityMatrix();
    given.Scale(2.0f, 2.0f, 2.0f);
    device->SetTransform(TS_VIEW, current);
    device->MultiplyTransform(TS_VIEW, given);
    // given x current: scale first, then translate; the translation itself is not scaled.
    EXPECT_EQ(device->view.m[3][0], 5.0f);
    EXPECT_EQ(device->view.m[0][0], 2.0f);

    Matrix4 expected = given;
    expected.Multiply(current);
    EXPECT_TRUE(SameMatrix(device->view, expected));

    device->MultiplyTransform(21, given);  // unknown: nothing stored
    EXPECT_TRUE(SameMatrix(device->view, expected));
}

TEST(DeviceViewportTest, ClampedToTheRenderTarget) {
    struct Case {
        std::uint32_t x, y, w, h;
        float left, top, right, bottom, width, height;
    };
    const Case cases[] = {
        {10, 10, 5000, 5000, 10, 10, 330, 250, 320, 240},
        {0, 0, 320, 240, 0, 0, 320, 240, 320, 240},
        {20, 30, 100, 50, 20, 30, 120, 80, 100, 50},
        {400, 300, 100, 50, 100, 50, 200, 100, 100, 50},  // corner limited by the size
        {0xFFFFFFFFu, 7, 0xFFFFFFFFu, 0, 320, 0, 640, 0, 320, 0},
    };
    std::vector<std::uint32_t> pixels(320 * 240);
    for (const Case& c : cases) {
        auto device = MakeDevice();
        device->SetRenderTarget(pixels.data(), 320, 240, X8R8G8B8, 320 * 4);
        device->viewport.changed = 0;
        device->transformsDirty = 0;
        device->SetViewport(c.x, c.y, c.w, c.h, 0.25f, 0.75f);
        const Viewport& port = device->viewport;
        EXPECT_EQ(port.left, c.left) << c.x;
        EXPECT_EQ(port.top, c.top) << c.y;
        EXPECT_EQ(port.right, c.right) << c.x;
        EXPECT_EQ(port.bottom, c.bottom) << c.y;
        EXPECT_EQ(port.width, c.width);
        EXPECT_EQ(port.height, c.height);
        EXPECT_EQ(port.halfWidth, c.width * 0.5f);
        EXPECT_EQ(port.halfHeight, c.height * 0.5f);
        EXPECT_EQ(port.minZ, 0.25f);
        EXPECT_EQ(port.maxZ, 0.75f);
        EXPECT_EQ(port.depthRange, 0.5f);
        EXPECT_EQ(port.depthRange2, 0.5f);
        EXPECT_EQ(port.farBound, 1e38f);
        EXPECT_EQ(port.changed, kDirty);
        EXPECT_EQ(device->transformsDirty, kDirty);
    }
}

TEST(DeviceTexturesTest, OneLevelTextureLeavesTheOtherRecordsZero) {
    auto device = MakeDevice();
    TexturePtr texture = MakeTexture(16, 8, A8R8G8B8, 1);
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->levelCount(), 1);
    // Stale records from an earlier binding must go.
    TexturePtr earlier = MakeTexture(32, 32, A8R8G8B8, 3);
    device->SetTexture(1, earlier.get());
    device->stages[1].dirty = 0;

    device->SetTexture(1, texture.get());
    const TextureLevel& level0 = device->stages[1].levels[0];
    const Image* image = texture->getLevel(0);
    EXPECT_EQ(level0.width, 16u);
    EXPECT_EQ(level0.height, 8u);
    EXPECT_EQ(level0.format, A8R8G8B8);
    EXPECT_EQ(level0.pitch, image->pitch);
    EXPECT_EQ(level0.pixels, image->pixels);
    EXPECT_EQ(level0.widthF, 16.0f);
    EXPECT_EQ(level0.heightF, 8.0f);
    for (int level = 1; level < kStageLevelCount; ++level) {
        EXPECT_EQ(device->stages[1].levels[level].pixels, nullptr) << level;
        EXPECT_EQ(device->stages[1].levels[level].width, 0u) << level;
    }
    EXPECT_EQ(device->stages[1].dirty, kDirty);
}

TEST(DeviceTexturesTest, MultiLevelTextureBindsUpToEightLevels) {
    auto device = MakeDevice();
    TexturePtr texture = MakeTexture(1024, 512, X8R8G8B8, 0);  // ten levels made
    ASSERT_NE(texture, nullptr);
    ASSERT_GT(texture->levelCount(), kStageLevelCount);
    device->SetTexture(2, texture.get());
    for (int level = 0; level < kStageLevelCount; ++level) {
        const TextureLevel& record = device->stages[2].levels[level];
        EXPECT_EQ(record.width, 1024u >> level) << level;
        EXPECT_EQ(record.height, 512u >> level) << level;
        EXPECT_EQ(record.pixels, texture->getLevel(level)->pixels) << level;
    }

    TexturePtr small = MakeTexture(8, 4, X8R8G8B8, 0);  // 8x4, 4x2, 2x1
    ASSERT_NE(small, nullptr);
    device->SetTexture(2, small.get());
    EXPECT_EQ(device->stages[2].levels[2].width, 2u);
    EXPECT_EQ(device->stages[2].levels[3].pixels, nullptr);
    EXPECT_EQ(device->stages[2].levels[7].pixels, nullptr);

    // A null texture keeps the binding; clearing the stage drops it.
    device->stages[2].dirty = 0;
    device->SetTexture(2, nullptr);
    EXPECT_EQ(device->stages[2].levels[0].pixels, small->getLevel(0)->pixels);
    EXPECT_EQ(device->stages[2].dirty, 0u);
    device->ClearTextureStage(2);
    EXPECT_EQ(device->stages[2].levels[0].pixels, nullptr);
    EXPECT_EQ(device->stages[2].dirty, kDirty);
}

}  // namespace
