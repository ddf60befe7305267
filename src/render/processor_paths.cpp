// The choice between the plain and the SSE form of every numeric stage, from render state 171 and
// the processor's features. The rounding mode is the draw entry's business, not this one's.
#include "load/cpu_feature.h"
#include "render/render_device.h"

void RenderDevice::SelectProcessorPaths() {
    const std::uint32_t level = renderStates[RS_PROCESSORPATH];
    ssePath = 0;
    // Once chosen, the MMX path stays on, even when the level is lowered later.
    if (level >= 1 && GetCpuFeature(CpuFeatureMmx) != 0) mmxPath = kDirty;
    if (level >= 2 && GetCpuFeature(CpuFeatureSse) != 0) ssePath = kDirty;
    renderStateDirty[RS_PROCESSORPATH] = 0;
}
