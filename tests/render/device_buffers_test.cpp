#include <gtest/gtest.h>

#include <vector>

#include "device_test_support.h"

namespace {

constexpr std::uint32_t kInfiniteDepth = 0x7F800000u;  // 1e38 x 1e38
const std::uint32_t kFarDepth = BitsFromFloat(1e38f);

struct Target {
    std::vector<std::uint32_t> pixels;
    std::uint32_t width;
    std::uint32_t height;
    std::int32_t pitch;  // bytes

    Target(std::uint32_t w, std::uint32_t h, std::uint32_t paddingWords = 0)
        : pixels((w + paddingWords) * h, 0xDEADBEEFu), width(w), height(h),
          pitch(static_cast<std::int32_t>((w + paddingWords) * 4)) {}

    void Bind(RenderDevice& device, PixelFormat format = X8R8G8B8) {
        device.SetRenderTarget(pixels.data(), width, height, format, pitch);
    }
};

void ExpectDepthCleared(const RenderDevice& device, std::uint32_t value) {
    const BufferDesc& depth = device.depthBuffer;
    ASSERT_NE(depth.bits, nullptr);
    for (std::uint32_t y = 0; y < depth.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(depth.bits + y * depth.pitch);
        for (std::uint32_t x = 0; x < depth.width; ++x) ASSERT_EQ(row[x], value) << x << "," << y;
    }
}

TEST(DeviceBuffersTest, RenderTargetGetsAnOwnedClearedDepthBuffer) {
    auto device = MakeDevice();
    Target target(40, 30);
    target.Bind(*device);
    EXPECT_EQ(device->renderTarget.bits, reinterpret_cast<std::uint8_t*>(target.pixels.data()));
    EXPECT_EQ(device->renderTarget.width, 40u);
    EXPECT_EQ(device->renderTarget.format, X8R8G8B8);
    EXPECT_EQ(device->viewport.width, 40.0f);
    EXPECT_EQ(device->viewport.height, 30.0f);

    const BufferDesc& owned = device->ownedDepthBuffer;
    ASSERT_NE(owned.bits, nullptr);
    EXPECT_EQ(owned.width, 40u);
    EXPECT_EQ(owned.height, 30u);
    EXPECT_EQ(owned.format, ZBUFFER32);
    EXPECT_EQ(owned.pitch, 160);
    EXPECT_EQ(device->depthBuffer.bits, owned.bits);
    ExpectDepthCleared(*device, kFarDepth);
}

TEST(DeviceBuffersTest, DepthBufferReplacedOnNewSizeKeptOnSameSize) {
    auto device = MakeDevice();
    Target first(40, 30);
    first.Bind(*device);
    std::uint8_t* const firstDepth = device->ownedDepthBuffer.bits;

    device->ClearDepth(0.5f);
    Target same(40, 30);
    same.Bind(*device);
    EXPECT_EQ(device->ownedDepthBuffer.bits, firstDepth);
    EXPECT_EQ(device->depthBuffer.bits, firstDepth);
    ExpectDepthCleared(*device, kFarDepth);  // rebinding clears it again

    Target larger(64, 48);
    larger.Bind(*device);
    EXPECT_EQ(device->ownedDepthBuffer.width, 64u);
    EXPECT_EQ(device->ownedDepthBuffer.height, 48u);
    EXPECT_EQ(device->ownedDepthBuffer.pitch, 256);
    EXPECT_EQ(device->depthBuffer.bits, device->ownedDepthBuffer.bits);
    ExpectDepthCleared(*device, kFarDepth);  // the whole new size
}

TEST(DeviceBuffersTest, ExternalDepthBufferIsUsedAndNeverFreed) {
    std::vector<std::uint32_t> external(40 * 30, 0);
    {
        auto device = MakeDevice();
        Target target(40, 30);
        target.Bind(*device);
        device->SetDepthBuffer(external.data(), 40, 30, ZBUFFER32, 160);
        EXPECT_EQ(device->depthBuffer.bits, reinterpret_cast<std::uint8_t*>(external.data()));
        EXPECT_EQ(device->ownedDepthBuffer.bits, nullptr);  // the device's own was released

        // A new target keeps the external buffer bound and allocates nothing.
        Target other(20, 10);
        other.Bind(*device);
        EXPECT_EQ(device->depthBuffer.bits, reinterpret_cast<std::uint8_t*>(external.data()));
        EXPECT_EQ(device->ownedDepthBuffer.bits, nullptr);

        device->ClearDepth(1e38f);
        for (std::uint32_t value : external) ASSERT_EQ(value, kInfiniteDepth);
    }  // destruction must leave the external buffer alone (the sanitizer build checks it)
    EXPECT_EQ(external.size(), 40u * 30u);
}

TEST(DeviceBuffersTest, DepthBufferBindingRules) {
    auto device = MakeDevice();
    Target target(16, 8);
    target.Bind(*device);
    std::uint8_t* const owned = device->ownedDepthBuffer.bits;

    std::vector<std::uint32_t> external(16 * 8);
    device->SetDepthBuffer(external.data(), 16, 8, X8R8G8B8, 64);  // only ZBUFFER32 is accepted
    EXPECT_EQ(device->depthBuffer.bits, owned);
    device->SetDepthBuffer(external.data(), 16, 8, ZBUFFER32, 32);  // rows of 16 values need 64 bytes
    EXPECT_EQ(device->depthBuffer.bits, owned);
    device->SetDepthBuffer(nullptr, 0, 0, UNKNOWN, 0);  // an owned buffer exists: nothing changes
    EXPECT_EQ(device->depthBuffer.bits, owned);
    EXPECT_EQ(device->ownedDepthBuffer.bits, owned);

    device->ReleaseDepthBuffer();
    EXPECT_EQ(device->depthBuffer.bits, nullptr);
    EXPECT_EQ(device->ownedDepthBuffer.bits, nullptr);
    device->SetDepthBuffer(nullptr, 0, 0, UNKNOWN, 0);  // none owned: one is made for the target
    ASSERT_NE(device->depthBuffer.bits, nullptr);
    EXPECT_EQ(device->depthBuffer.bits, device->ownedDepthBuffer.bits);
    EXPECT_EQ(device->depthBuffer.width, 16u);
}

TEST(DeviceBuffersTest, TargetsWithoutAWriterAreNotBound) {
    std::vector<std::uint32_t> pixels(64 * 64);
    struct Case {
        void* bits;
        PixelFormat format;
        std::int32_t pitch;
    };
    const Case refused[] = {
        {pixels.data(), R8G8B8, 64 * 3}, {pixels.data(), A8B8G8R8, 256}, {pixels.data(), UNKNOWN, 256},
        {pixels.data(), ZBUFFER32, 256}, {pixels.data(), static_cast<PixelFormat>(99), 256},
        {nullptr, X8R8G8B8, 256},        {pixels.data(), X8R8G8B8, 255},  {pixels.data(), R5G6B5, 127},
    };
    for (const Case& c : refused) {
        auto device = MakeDevice();
        device->SetRenderTarget(c.bits, 64, 64, c.format, c.pitch);
        const BufferDesc& t = device->renderTarget;
        EXPECT_EQ(t.bits, nullptr) << c.format;
        EXPECT_EQ(t.width | t.height | t.format | static_cast<std::uint32_t>(t.pitch), 0u) << c.format;
        EXPECT_EQ(device->viewport.width, 0.0f);
        EXPECT_EQ(device->viewport.height, 0.0f);
        EXPECT_EQ(device->depthBuffer.bits, nullptr);
    }
    const PixelFormat accepted[] = {A8R8G8B8, X8R8G8B8, A4R4G4B4, X4R4G4B4, A1R5G5B5, X1R5G5B5, R5G6B5};
    for (PixelFormat format : accepted) {
        auto device = MakeDevice();
        device->SetRenderTarget(pixels.data(), 64, 64, format, -256);  // bottom-up rows are fine
        EXPECT_EQ(device->renderTarget.format, format);
        EXPECT_EQ(device->renderTarget.pitch, -256);
        device->ClearRenderTargetInfo();
        EXPECT_EQ(device->renderTarget.bits, nullptr);
        EXPECT_EQ(device->renderTarget.width, 0u);
    }
}

TEST(DeviceBuffersTest, ClearsFillEveryEntryOfEveryRow) {
    for (std::uint32_t width = 1; width <= 7; ++width) {
        for (std::uint32_t height = 1; height <= 3; ++height) {
            auto device = MakeDevice();
            Target target(width, height, 2);  // two guard words after each row
            target.Bind(*device);
            device->ClearColor(0x11223344u);
            device->ClearDepth(0.25f);
            const std::uint32_t rowWords = width + 2;
            for (std::uint32_t y = 0; y < height; ++y) {
                for (std::uint32_t x = 0; x < rowWords; ++x) {
                    const std::uint32_t expected = x < width ? 0x11223344u : 0xDEADBEEFu;
                    ASSERT_EQ(target.pixels[y * rowWords + x], expected) << width << "x" << height << " at " << x;
                }
            }
            ExpectDepthCleared(*device, BitsFromFloat(0.25f * 1e38f));
        }
    }
}

TEST(DeviceBuffersTest, ClearsNeedThirtyTwoBitBuffers) {
    auto device = MakeDevice();
    std::vector<std::uint16_t> pixels(8 * 4, 0x5555u);
    device->SetRenderTarget(pixels.data(), 8, 4, R5G6B5, 16);
    ASSERT_NE(device->renderTarget.bits, nullptr);
    device->ClearColor(0xFFFFFFFFu);
    for (std::uint16_t value : pixels) EXPECT_EQ(value, 0x5555u);

    auto empty = MakeDevice();
    empty->ClearColor(0);   // no target
    empty->ClearDepth(1);   // no depth buffer
    EXPECT_EQ(empty->depthBuffer.bits, nullptr);
}

}  // namespace
