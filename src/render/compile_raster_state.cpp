// Second step of every draw: the device's state compiled into the process-wide span context.
// The span context is shared by all devices, so it records which device it was compiled for; a
// draw by another device recompiles everything.
#include <algorithm>

#include "render/compile_stage.h"
#include "render/render_device.h"

namespace {

constexpr std::uint32_t kFlagOn = 0xFFFFFFFFu;
constexpr std::uint32_t kAlphaRoutineCount = 9;

std::uint32_t Flag(bool on) { return on ? kFlagOn : 0u; }

// The device's clip rectangle cut to both buffers; empty when either buffer is missing. The
// rasterizer never writes outside it.
void CopyClipRectangle(const RenderDevice& device, SpanContext& span) {
    const BufferDesc& target = device.renderTarget;
    const BufferDesc& depth = device.depthBuffer;
    const bool bothBound = target.bits != nullptr && depth.bits != nullptr;
    const std::int64_t limitX = bothBound ? std::min(target.width, depth.width) : 0;
    const std::int64_t limitY = bothBound ? std::min(target.height, depth.height) : 0;
    const std::int64_t left = std::clamp<std::int64_t>(device.clipLeft, 0, limitX);
    const std::int64_t top = std::clamp<std::int64_t>(device.clipTop, 0, limitY);
    const std::int64_t right = std::clamp<std::int64_t>(device.clipRight, left, limitX);
    const std::int64_t bottom = std::clamp<std::int64_t>(device.clipBottom, top, limitY);
    span.clipLeft = static_cast<std::int32_t>(left);
    span.clipTop = static_cast<std::int32_t>(top);
    span.clipRight = static_cast<std::int32_t>(right);
    span.clipBottom = static_cast<std::int32_t>(bottom);
}

void CopyRenderStates(const RenderDevice& device, SpanContext& span) {
    const std::uint32_t* states = device.renderStates;
    span.zEnable = states[RS_ZENABLE];
    span.zWriteEnable = states[RS_ZWRITEENABLE];
    span.depthTrimEnable = states[RS_DEPTHTRIM];
    span.colorVertex = states[RS_COLORVERTEX];
    span.shadeMode = states[RS_SHADEMODE];
    span.fogEnable = states[RS_FOGENABLE];
    span.alphaBlendEnable = states[RS_ALPHABLENDENABLE];
    span.alphaTestEnable = states[RS_ALPHATESTENABLE];
    span.alphaRef = states[RS_ALPHAREF];
    // Alpha functions past "always" (8) have no table entry and read as "always".
    const std::uint32_t alphaFunc = std::min(states[RS_ALPHAFUNC], kAlphaRoutineCount - 1);
    span.alphaFunc = device.alphaRoutines[alphaFunc];
    for (int channel = 0; channel < 4; ++channel) span.fogColor[channel] = device.fogColorWide[channel];
}

}  // namespace

void RenderDevice::CompileRasterState() {
    SpanContext& span = g_spanContext;
    const bool otherDevice = span.compiledFor != this;
    // Routine choices depend on the path, so a change of path re-chooses them all.
    const bool pathChanged = span.ssePath != ssePath;
    const bool formatChanged = span.vertexFormat != vertexFormat;
    span.compiledFor = this;

    span.target = renderTarget;
    span.depth = depthBuffer;
    span.colorPitch = renderTarget.pitch;
    span.depthPitch = depthBuffer.pitch;
    CopyClipRectangle(*this, span);
    span.ssePath = ssePath;
    span.vertexFormat = vertexFormat;
    std::copy(laneClip.farReciprocal.lane, laneClip.farReciprocal.lane + 4, span.fogScale);
    std::copy(laneClip.minZReciprocal.lane, laneClip.minZReciprocal.lane + 4, span.minZReciprocal);
    span.minZ = viewport.minZ;
    span.maxZ = viewport.maxZ;
    span.spanCount = 0;
    span.pixelTotal = 0;
    span.roundedPixelTotal = 0;
    span.otherTotal = 0;

    InitRasterTables();

    const bool statesChanged = renderStatesDirty != 0;
    if (statesChanged || otherDevice) {
        renderStatesDirty = 0;
        CopyRenderStates(*this, span);
    }

    // A stage also depends on D3DRS_COLORVERTEX, the vertex format and the path, so any of those
    // changing recompiles every stage.
    const bool allStages = otherDevice || pathChanged || formatChanged || statesChanged;
    for (int s = 0; s < kTextureStages; ++s) {
        if (stages[s].dirty == 0 && !allStages) continue;
        stages[s].dirty = 0;
        CompileTextureStage(*this, s);
    }

    const std::uint32_t shadeMode = renderStates[RS_SHADEMODE];
    span.interpolateNormal = Flag(shadeMode == SHADE_PHONG && (vertexFormat & VF_NORMAL) != 0);
    span.interpolateDiffuse = Flag(shadeMode == SHADE_GOURAUD && (vertexFormat & VF_DIFFUSE) != 0);
    span.interpolateSpecular = Flag(renderStates[RS_SPECULARENABLE] != 0 && (vertexFormat & VF_SPECULAR) != 0);
    for (int s = 0; s < kTextureStages; ++s) {
        // The stage's compilation leaves the level-0 pointer in the sampling block only when the
        // level can be sampled.
        const bool sampled = span.sampling[s].pixels != nullptr;
        span.interpolateTex[s] = Flag((vertexFormat & VertexFormatTexBit(s)) != 0 && sampled);
    }
}
