// The device's lifecycle (construction, reset, destruction), its render and stage state tables and
// its statistics counters.
#include "render/render_device.h"

#include <cstring>
#include <type_traits>

#include "raster/rasterizer.h"
#include "raster/span_stages.h"

namespace {

// Zeroes one plain member. The device has a virtual table, so it is never cleared as a whole.
template <typename Field>
void ZeroField(Field& field) {
    static_assert(std::is_trivially_copyable_v<Field>, "only plain members are cleared bytewise");
    std::memset(static_cast<void*>(&field), 0, sizeof field);
}

struct StateDefault {
    std::uint32_t number;
    std::uint32_t value;
};

constexpr StateDefault kRenderStateDefaults[] = {
    {RS_ZENABLE, 1},          {RS_FILLMODE, FILL_SOLID},     {RS_SHADEMODE, SHADE_GOURAUD},
    {RS_ZWRITEENABLE, 1},     {RS_CULLMODE, CULL_NONE},      {RS_ZFUNC, 4},  // less-equal
    {RS_ALPHAFUNC, 8},        // always
    {RS_FOGCOLOR, 0xFFFFFFFFu}, {RS_TEXTUREFACTOR, 0xFFFFFFFFu}, {RS_CLIPPING, 1},
    {RS_LIGHTING, 1},         {RS_COLORVERTEX, 1},           {RS_PROCESSORPATH, 2},
    {RS_DEPTHTRIM, 1},
};

// Stage states shared by all four stages; stage 0 then modulates its texture with the vertex colour.
constexpr StateDefault kStageStateDefaults[] = {
    {TSS_COLOROP, TOP_DISABLE}, {TSS_COLORARG1, TA_TEXTURE}, {TSS_COLORARG2, TA_CURRENT},
    {TSS_ALPHAOP, TOP_DISABLE}, {TSS_ALPHAARG1, TA_TEXTURE}, {TSS_ALPHAARG2, TA_CURRENT},
    {TSS_MAGFILTER, TEXF_POINT}, {TSS_MINFILTER, TEXF_POINT}, {TSS_MIPFILTER, TEXF_POINT},
    {TSS_MAXMIPLEVEL, 1},
};

}  // namespace

RenderDevice::RenderDevice() : RenderDevice(0u) {}

RenderDevice::RenderDevice(std::uint32_t word) : depthBuffer{}, ownedDepthBuffer{}, tag(word) {
    batchConsumer = ClipAndRasterizeBatch;
    ResetState();
}

RenderDevice::~RenderDevice() {
    ReleaseDepthBuffer();
    // A later device at the same address must not pass for this one.
    if (g_spanContext.compiledFor == this) g_spanContext.compiledFor = nullptr;
}

void RenderDevice::ResetState() {
    // A reset forgets the depth buffer, so the one the device allocated is freed rather than lost.
    ReleaseDepthBuffer();

    ZeroField(renderStates);
    ZeroField(renderStateDirty);
    ZeroField(renderStatesDirty);
    ZeroField(renderTarget);
    ZeroField(depthBuffer);
    ZeroField(ownedDepthBuffer);
    ZeroField(stages);
    ZeroField(laneComposite);
    ZeroField(composite);
    ZeroField(world);
    ZeroField(view);
    ZeroField(projection);
    ZeroField(textureMatrix);
    ZeroField(viewportMatrix);
    ZeroField(transformsDirty);
    ZeroField(laneClip);
    ZeroField(viewport);
    ZeroField(clipLeft);
    ZeroField(clipTop);
    ZeroField(clipRight);
    ZeroField(clipBottom);
    ZeroField(fogColor);
    ZeroField(fogColorWide);
    ZeroField(flatColors);
    ZeroField(vertexFormat);
    ZeroField(ssePath);
    ZeroField(mmxPath);
    ZeroField(material);
    ZeroField(lights);
    ZeroField(laneLight);
    ZeroField(tweening);
    ZeroField(tweenFactor);
    ZeroField(tweenComplement);
    ZeroField(drawBatch);
    ZeroField(clipBatch);
    ZeroField(clipCount);
    ZeroField(drawCount);
    ZeroField(streams);
    ZeroField(indices);
    ZeroField(alphaRoutines);
    // batchConsumer and tag belong to the device's construction and survive a reset.

    ResetStatistics();
    ResetTransforms();
    InitRasterTables();

    for (const StateDefault& entry : kRenderStateDefaults) renderStates[entry.number] = entry.value;
    for (int stage = 0; stage < kTextureStages; ++stage) {
        for (const StateDefault& entry : kStageStateDefaults) stages[stage].states[entry.number] = entry.value;
    }
    stages[0].states[TSS_COLOROP] = TOP_MODULATE;
    stages[0].states[TSS_ALPHAOP] = TOP_SELECTARG1;

    // Every marker set, so the first draw derives everything.
    for (std::uint32_t& marker : renderStateDirty) marker = kDirty;
    renderStatesDirty = kDirty;

    SetViewport(0, 0, 0, 0, 0.0f, 1.0f);

    Light& light = lights[0];
    light = Light{{1.0f, 1.0f, 1.0f, 1.0f}, {}, {1.0f, 0.0f, 0.0f, 0.25f}, {}, {0.0f, 0.0f, 1.0f}, 0, kDirty};

    ClearRenderTargetInfo();
    for (std::uint32_t stage = 0; stage < kTextureStages; ++stage) ClearTextureStage(stage);

    for (SpanRoutine& routine : alphaRoutines) routine = BlendSpan;
}

void RenderDevice::SetRenderState(std::uint32_t number, std::uint32_t value) {
    if (number >= kRenderStateCount || renderStates[number] == value) return;
    renderStates[number] = value;
    renderStateDirty[number] = kDirty;
    renderStatesDirty = kDirty;
}

std::uint32_t RenderDevice::GetRenderState(std::uint32_t number) const {
    return number < kRenderStateCount ? renderStates[number] : 0;
}

void RenderDevice::SetTextureStageState(std::uint32_t stage, std::uint32_t number, std::uint32_t value) {
    if (stage >= kTextureStages || number >= kStageStateCount) return;
    TextureStage& target = stages[stage];
    if (target.states[number] == value) return;
    target.states[number] = value;
    target.dirty = kDirty;
}

std::uint32_t RenderDevice::GetTextureStageState(std::uint32_t stage, std::uint32_t number) const {
    if (stage >= kTextureStages || number >= kStageStateCount) return 0;
    return stages[stage].states[number];
}

std::uint64_t RenderDevice::GetStatistic(std::uint32_t index) const {
    return index < kStatisticCount ? statistics[index] : 0;
}

void RenderDevice::ResetStatistic(std::uint32_t index) {
    if (index < kStatisticCount) statistics[index] = 0;
}

void RenderDevice::ResetStatistics() {
    for (std::uint64_t& counter : statistics) counter = 0;
}
