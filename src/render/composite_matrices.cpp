// The composite matrices that carry object-space positions to screen-scaled homogeneous positions.
#include "render/lane_copy.h"
#include "render/render_device.h"

// All four composites and every four-lane copy are rebuilt together whenever a transform or the
// viewport changed. Building only those the current blend state and path need would leave stale
// matrices behind when D3DRS_VERTEXBLEND, the processor path or a stage's texture transform flag
// changes between draws without a transform change; three more products per change cost nothing.
void RenderDevice::PrepareTransforms() {
    if (transformsDirty == 0) return;
    transformsDirty = 0;
    for (int i = 0; i < 4; ++i) {
        Matrix4 c;
        c.Identity();
        c.Multiply(world[i]);
        c.Multiply(view);
        c.Multiply(projection);
        c.Multiply(viewportMatrix);
        composite[i] = c;
        SpreadToLanes(c, laneComposite[i]);
    }
}
