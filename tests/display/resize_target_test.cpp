// The frame buffer behind the scene: made at the client's size, kept while the size stays,
// remade when it changes, absent at a zero side; the device's target always follows it.
#include <cmath>

#include "display/animation_scene.h"
#include "display/bitmap_handles.h"
#include "scene_fixture.h"

namespace {
class FrameBuffer : public WithBitmapResources {
protected:
    void SetUp() override {
        WithBitmapResources::SetUp();
        ASSERT_EQ(scene.Create(), 1);
    }
    const BufferDesc& Target() const { return scene.m_device->renderTarget; }
    AnimationScene scene;
};

// The brightest channel over a row of the picture (row 0 at the top of the window).
int BrightestInPictureRow(const BITMAP& frame, int pictureRow) {
    int brightest = 0;
    for (int x = 0; x < frame.bmWidth; ++x) {
        const std::uint32_t pixel = StoredPixel(frame.bmBits, frame.bmWidthBytes, x, frame.bmHeight - 1 - pictureRow);
        for (int shift : {0, 8, 16}) brightest = std::max(brightest, int(pixel >> shift & 0xFF));
    }
    return brightest;
}
}  // namespace

TEST_F(FrameBuffer, FollowsTheClientSize) {
    const struct {
        int width, height;
        int result;
        bool kept;  // the same bitmap as before, pixels and all
    } steps[] = {
        {320, 240, 1, false}, {320, 240, 1, true}, {400, 300, 1, false}, {400, 299, 1, false},
        {0, 300, 0, false},   {160, 0, 0, false},  {0, 0, 0, false},     {161, 121, 1, false},
    };
    constexpr std::uint32_t kMarker = 0xDEADBEEFu;
    HBITMAP previous = nullptr;
    for (const auto& s : steps) {
        // A new bitmap starts zeroed (even where the allocator hands back the old address), so a
        // marker left in the old one tells whether it was kept.
        if (void* bits = GetBitmapInfo(previous).bmBits) *static_cast<std::uint32_t*>(bits) = kMarker;
        EXPECT_EQ(scene.ResizeTarget(s.width, s.height), s.result) << s.width << "x" << s.height;
        if (s.result == 0) {
            EXPECT_EQ(scene.m_frameBuffer, nullptr);
            EXPECT_EQ(Target().bits, nullptr);
            EXPECT_EQ(Target().width, 0u);
            EXPECT_EQ(Target().height, 0u);
        } else {
            const BITMAP frame = GetBitmapInfo(scene.m_frameBuffer);
            EXPECT_EQ(frame.bmWidth, s.width);
            EXPECT_EQ(frame.bmHeight, s.height);
            EXPECT_EQ(frame.bmBitsPixel, 32);
            EXPECT_EQ(Target().bits, frame.bmBits);
            EXPECT_EQ(Target().width, std::uint32_t(s.width));
            EXPECT_EQ(Target().height, std::uint32_t(s.height));
            EXPECT_EQ(Target().format, A8R8G8B8);
            EXPECT_EQ(Target().pitch, 4 * s.width);
            const bool marked = StoredPixel(frame.bmBits, frame.bmWidthBytes, 0, 0) == kMarker;
            EXPECT_EQ(s.kept, marked) << s.width << "x" << s.height;
        }
        previous = scene.m_frameBuffer;
    }
}

TEST_F(FrameBuffer, DepthIsClearedToFarWhenAttached) {
    ASSERT_EQ(scene.ResizeTarget(64, 48), 1);
    const BufferDesc& depth = scene.m_device->depthBuffer;
    ASSERT_NE(depth.bits, nullptr);
    EXPECT_EQ(depth.width, 64u);
    EXPECT_EQ(depth.height, 48u);
    const float* first = reinterpret_cast<const float*>(depth.bits);
    const float* last = reinterpret_cast<const float*>(depth.bits + (depth.height - 1) * depth.pitch) + 63;
    EXPECT_TRUE(std::isinf(*first) && *first > 0);
    EXPECT_TRUE(std::isinf(*last) && *last > 0);
}

TEST_F(FrameBuffer, WorksBeforeTheDeviceExists) {
    AnimationScene uncreated;
    EXPECT_EQ(uncreated.ResizeTarget(32, 24), 1);
    EXPECT_NE(uncreated.m_frameBuffer, nullptr);
    EXPECT_EQ(uncreated.ResizeTarget(0, 24), 0);
    EXPECT_EQ(uncreated.m_frameBuffer, nullptr);
}

TEST_F(FrameBuffer, ADeviceMadeAfterTheFrameBufferDrawsIntoIt) {
    AnimationScene late;
    ASSERT_EQ(late.ResizeTarget(320, 240), 1);
    ASSERT_EQ(late.Create(), 1);
    // The same size again: the frame buffer is kept, and it is the device's target.
    ASSERT_EQ(late.ResizeTarget(320, 240), 1);
    const BITMAP frame = GetBitmapInfo(late.m_frameBuffer);
    EXPECT_EQ(late.m_device->renderTarget.bits, frame.bmBits);
    EXPECT_EQ(late.m_device->renderTarget.width, 320u);
    EXPECT_EQ(late.m_device->depthBuffer.width, 320u);
    late.StopAnimation();
    late.Update(0);
    EXPECT_GT(BrightestInPictureRow(frame, 40), 200);
}

TEST_F(FrameBuffer, AZeroSizedFrameDrawsNothingAndTheNextSizeDrawsAgain) {
    scene.StopAnimation();
    ASSERT_EQ(scene.ResizeTarget(0, 0), 0);
    scene.Update(0.1f);  // no target: nothing to write into, and nothing breaks
    ASSERT_EQ(scene.ResizeTarget(320, 240), 1);
    scene.Update(0.1f);
    const BITMAP frame = GetBitmapInfo(scene.m_frameBuffer);
    EXPECT_GT(BrightestInPictureRow(frame, 239), 0);
}

TEST_F(FrameBuffer, TheLogoShowsUprightInTheUpperBand) {
    // Stopped, the logo is opaque: its light letters fill part of the band from 10 % to 43 % of
    // the height, measured from the top of the window; below the band only the dark background.
    scene.StopAnimation();
    ASSERT_EQ(scene.ResizeTarget(320, 240), 1);
    scene.Update(0);
    const BITMAP frame = GetBitmapInfo(scene.m_frameBuffer);
    int brightestInBand = 0;
    for (int row = 24; row < 104; ++row) brightestInBand = std::max(brightestInBand, BrightestInPictureRow(frame, row));
    int brightestBelow = 0;
    for (int row = 110; row < 240; ++row) brightestBelow = std::max(brightestBelow, BrightestInPictureRow(frame, row));
    EXPECT_GT(brightestInBand, 200);
    EXPECT_LT(brightestBelow, 120);
    EXPECT_LT(BrightestInPictureRow(frame, 0), 120);
    // The letters stand on a baseline two thirds down the band, with only the capital's top arm
    // above the small letters: upside down, the arm would come out near the bottom of the band.
    EXPECT_GT(BrightestInPictureRow(frame, 40), 200);
    EXPECT_LT(BrightestInPictureRow(frame, 98), 120);
}
