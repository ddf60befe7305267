// The time step between paints: time since the last paint, at most 0.1 s.
#include <gtest/gtest.h>

#include "display/paint_time_step.h"

TEST(PaintTimeStep, StepsFromPaintToPaintCappedAtATenth) {
    const struct {
        float elapsed;
        float step;
    } paints[] = {
        {0.04f, 0.04f},   // the first paint: the time since the window was made
        {0.09f, 0.05f},   {0.19f, 0.1f},  {5.0f, 0.1f},  // a long pause counts as a tenth
        {5.02f, 0.02f},   {5.02f, 0.0f},  {4.9f, -0.12f},  // smaller and negative steps stay
    };
    float lastPaint = 0;
    for (const auto& p : paints) {
        EXPECT_NEAR(PaintTimeStep(p.elapsed, &lastPaint), p.step, 1e-6f) << p.elapsed;
        EXPECT_EQ(lastPaint, p.elapsed);
    }
}

TEST(PaintTimeStep, FirstPaintLongAfterCreationIsCapped) {
    float lastPaint = 0;
    EXPECT_EQ(PaintTimeStep(3.5f, &lastPaint), kLongestPaintStep);
    EXPECT_EQ(lastPaint, 3.5f);
}
