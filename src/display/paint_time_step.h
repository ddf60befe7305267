// The animation's time step between two paints.
#pragma once

// The longest step one paint advances the animation by: a long pause (a blocked message loop,
// the animation switched off and on) does not make the logo jump.
inline constexpr float kLongestPaintStep = 0.1f;

// elapsed: seconds since the window was made. Returns elapsed minus *lastPaintTime, at most
// kLongestPaintStep (smaller or negative steps unchanged), and stores elapsed as the last paint.
float PaintTimeStep(float elapsed, float* lastPaintTime);
