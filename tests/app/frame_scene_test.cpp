// The frame and its animated logo: the scene made with the window, the time step of each paint,
// the frame buffer at the client's size, the animation switch, and the picture in the window.
#include <QImage>
#include <QPainter>
#include <QWidget>

#include "app/command_ids.h"
#include "app_fixture.h"
#include "display/bitmap_handles.h"
#include "platform/qt/frame_widget.h"
#include "platform/qt/paint_target.h"

namespace {
class OwnedFrame : public CFerroxFrame {
public:
    OwnedFrame() : CFerroxFrame(TestClock::Make()) {}
    void PostNcDestroy() override {}  // the test owns it
};

class FrameScene : public ::testing::Test {
protected:
    void SetUp() override {
        TestClock::now = 700.0L;
        frame = std::make_unique<OwnedFrame>();
        ASSERT_TRUE(frame->LoadFrame(kMainResourceId, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE));
    }
    void Show() {
        frame->MoveWindow(0, 0, 320, 240, true);
        frame->ShowWindow(SW_SHOW);
        ProcessEvents();
    }
    void TearDown() override {
        frame->DestroyWindow();
        frame.reset();
        ProcessEvents();
    }
    QWidget* View() { return frame->GetFrameWidget()->View(); }
    void Paint() { View()->repaint(); }
    AnimationScene& Scene() { return frame->m_scene; }

    std::unique_ptr<OwnedFrame> frame;
};

int Brightest(const QImage& image, int row) {
    int brightest = 0;
    for (int x = 0; x < image.width(); ++x) {
        const QRgb pixel = image.pixel(x, row);
        brightest = std::max({brightest, qRed(pixel), qGreen(pixel), qBlue(pixel)});
    }
    return brightest;
}
}  // namespace

TEST_F(FrameScene, TheSceneIsMadeAndStartedWithTheWindow) {
    ASSERT_NE(Scene().m_device, nullptr);
    for (int sprite = 0; sprite < kSpriteCount; ++sprite) EXPECT_NE(Scene().m_textures[sprite], nullptr) << sprite;
    EXPECT_EQ(Scene().m_animating, 1);
    EXPECT_EQ(Scene().m_time, 0.0f);
    EXPECT_EQ(Scene().m_frameBuffer, nullptr);  // made by the first paint
}

TEST_F(FrameScene, EachPaintAdvancesByTheTimeSinceTheLastAtMostATenth) {
    TestClock::now = frame->m_startTime + 0.05L;
    Show();  // however many paints showing takes, the clock stood still after the first
    EXPECT_NEAR(Scene().m_time, 0.05f, 1e-4f);
    EXPECT_NEAR(frame->m_lastPaintTime, 0.05f, 1e-4f);
    const struct {
        long double advance;
        float step;
    } paints[] = {{0.03L, 0.03f}, {4.0L, 0.1f}, {0.0L, 0.0f}, {0.1L, 0.1f}};
    for (const auto& p : paints) {
        const float before = Scene().m_time;
        TestClock::now += p.advance;
        Paint();
        EXPECT_NEAR(Scene().m_time - before, p.step, 1e-4f) << static_cast<double>(p.advance);
    }
}

TEST_F(FrameScene, TheFrameBufferHasTheClientSize) {
    Show();
    const struct {
        int width, height;
    } sizes[] = {{320, 240}, {400, 300}, {160, 120}};
    for (const auto& s : sizes) {
        frame->MoveWindow(0, 0, s.width, s.height, true);
        ProcessEvents();
        Paint();
        CRect client;
        frame->GetClientRect(&client);
        const BITMAP buffer = GetBitmapInfo(Scene().m_frameBuffer);
        EXPECT_EQ(buffer.bmWidth, client.Width());
        EXPECT_EQ(buffer.bmHeight, client.Height());
        EXPECT_EQ(Scene().m_device->renderTarget.bits, buffer.bmBits);
    }
}

TEST_F(FrameScene, AnimatedSwitchStopsStartsAndRestartsFromTheFadedLogo) {
    Show();
    TestClock::now += 1.0L;
    frame->OnTimer(kRefreshTimerId);
    EXPECT_GT(Scene().m_time, 0.0f);

    frame->SendCommand(kCmdAnimated);  // off
    EXPECT_EQ(frame->m_animated, 0);
    EXPECT_EQ(Scene().m_animating, 0);
    const float stopped = Scene().m_time;
    EXPECT_LT(stopped, 0.001f);  // reset, then at most the repaint's zero step
    // The timer no longer repaints, so the time stands.
    TestClock::now += 1.0L;
    frame->OnTimer(kRefreshTimerId);
    EXPECT_EQ(Scene().m_time, stopped);
    EXPECT_EQ(Scene().m_sprites[kLogoSprite].m_vertices[0].color >> 24, 255u);

    frame->SendCommand(kCmdAnimated);  // on again
    EXPECT_EQ(Scene().m_animating, 1);
    // Restarted at time 0: the repaint drew the faded-out logo and the glow at full strength.
    EXPECT_EQ(Scene().m_sprites[kLogoSprite].m_vertices[0].color >> 24, 1u);
    EXPECT_EQ(Scene().m_sprites[kGlowSprite].m_vertices[0].color >> 24, 254u);
    EXPECT_NEAR(Scene().m_time, 0.1f, 1e-4f);  // a second's pause counts as a tenth
}

TEST_F(FrameScene, TheWindowShowsTheLogoUprightInTheUpperBand) {
    Show();
    Paint();
    const QImage shown = View()->grab().toImage();
    ASSERT_EQ(shown.width(), 320);
    ASSERT_EQ(shown.height(), 240);
    // At time 0 the glowing word is at full strength: light in the band from 10 % to 43 % of the
    // height, only the dark background elsewhere. The capital's top arm (row 40) sits above the
    // small letters; nothing is lit below their baseline (row 98).
    EXPECT_GT(Brightest(shown, 40), 200);
    EXPECT_GT(Brightest(shown, 70), 200);
    EXPECT_LT(Brightest(shown, 5), 120);
    EXPECT_LT(Brightest(shown, 120), 120);
    EXPECT_LT(Brightest(shown, 239), 120);
}

TEST_F(FrameScene, ErasingDrawsTheLastFrameOrLeavesItToTheDefault) {
    Show();
    Paint();
    QImage erased(320, 240, QImage::Format_RGB32);
    erased.fill(Qt::magenta);
    {
        QPainter painter(&erased);
        PaintTarget target{&painter, nullptr};
        CDC dc(&target);
        EXPECT_TRUE(frame->OnEraseBkgnd(dc));
    }
    const QImage shown = View()->grab().toImage();
    EXPECT_EQ(erased.pixel(160, 40), shown.pixel(160, 40));
    EXPECT_EQ(erased.pixel(5, 235), shown.pixel(5, 235));

    // Without a frame buffer nothing is drawn and the default erasing runs.
    Scene().ResizeTarget(0, 0);
    erased.fill(Qt::magenta);
    QPainter painter(&erased);
    PaintTarget target{&painter, nullptr};
    CDC dc(&target);
    EXPECT_FALSE(frame->OnEraseBkgnd(dc));
    EXPECT_EQ(erased.pixel(160, 40), QColor(Qt::magenta).rgb());
}
