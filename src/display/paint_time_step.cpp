#include "display/paint_time_step.h"

float PaintTimeStep(float elapsed, float* lastPaintTime) {
    float step = elapsed - *lastPaintTime;
    *lastPaintTime = elapsed;
    if (step > kLongestPaintStep) {
        step = kLongestPaintStep;
    }
    return step;
}
