// First step of every draw: the processor paths, the viewport matrix, the integer clip rectangle,
// the four-lane viewport constants (the fog scale among them) and the fog colour.
#include <cmath>
#include <xmmintrin.h>

#include "render/lane_copy.h"
#include "render/render_device.h"

namespace {

void BuildViewportMatrix(const Viewport& port, Matrix4& matrix) {
    // Projected x = -1 lands on the left edge's pixel centre line X - 0.5, y = +1 on Y - 0.5.
    matrix = Matrix4{{{port.halfWidth, 0.0f, 0.0f, 0.0f},
                      {0.0f, -port.halfHeight, 0.0f, 0.0f},
                      {0.0f, 0.0f, port.maxZ - port.minZ, 0.0f},
                      {port.left + port.halfWidth - 0.5f, port.top + port.halfHeight - 0.5f, port.minZ, 1.0f}}};
}

// The SSE path takes the hardware's approximate reciprocal; the plain path divides exactly. A
// result too small for a normal float becomes zero on both: the SSE instruction flushes it, and the
// plain path does the same, so that the far bound's reciprocal (1 / 1e38, the fog scale) is zero on
// both paths rather than a subnormal that would send every fogged pixel down the slow path.
Lanes Reciprocal(float value, bool ssePath) {
    Lanes result;
    if (ssePath) {
        _mm_store_ps(result.lane, _mm_rcp_ps(_mm_set1_ps(value)));
    } else {
        const float exact = 1.0f / value;
        SpreadToLanes(std::fpclassify(exact) == FP_SUBNORMAL ? std::copysign(0.0f, exact) : exact, result);
    }
    return result;
}

}  // namespace

void RenderDevice::PrepareViewport() {
    if (renderStateDirty[RS_PROCESSORPATH] != 0) SelectProcessorPaths();

    if (viewport.changed != 0) {
        viewport.changed = 0;
        BuildViewportMatrix(viewport, viewportMatrix);
        clipLeft = RoundToInt(viewport.left);
        clipRight = RoundToInt(viewport.right);
        clipTop = RoundToInt(viewport.top);
        clipBottom = RoundToInt(viewport.bottom);
    }

    // Rebuilt at every draw, so the constants always belong to the path this draw runs on.
    const bool sse = ssePath != 0;
    laneClip.minZReciprocal = Reciprocal(viewport.minZ, sse);
    laneClip.farReciprocal = Reciprocal(viewport.farBound, sse);

    // The fog colour's marker is never cleared, so the copy repeats at every draw.
    if (renderStateDirty[RS_FOGCOLOR] != 0) {
        fogColor = renderStates[RS_FOGCOLOR];
        if (mmxPath != 0) {
            for (int channel = 0; channel < 4; ++channel) {
                fogColorWide[channel] = static_cast<std::uint16_t>((fogColor >> (8 * channel)) & 0xFFu);
            }
        }
    }
}
