// One texture stage's part of the compiled rasterizer state.
#include "render/compile_stage.h"

#include <bit>
#include <cstring>

#include "raster/color_ops.h"
#include "render/texel_fetch.h"

namespace {

constexpr std::uint64_t kMaxSampledTexels = 1u << 29;  // keeps every byte offset inside int32

std::uint32_t SampledWidth(const TextureLevel& level) { return std::bit_floor(level.width); }
std::uint32_t SampledHeight(const TextureLevel& level) { return std::bit_floor(level.height); }

void FillSampling(StageSampling& sampling, const TextureLevel& level) {
    const std::uint32_t w = SampledWidth(level);
    const std::uint32_t h = SampledHeight(level);
    const auto log2w = static_cast<std::int32_t>(std::bit_width(w) - 1);
    for (int lane = 0; lane < 4; ++lane) {
        sampling.width[lane] = static_cast<float>(w);
        sampling.height[lane] = static_cast<float>(h);
        sampling.columnMask[lane] = static_cast<std::int32_t>(w - 1);
        sampling.rowMask[lane] = static_cast<std::int32_t>((h - 1) * w);
        sampling.one[lane] = 1;
        sampling.rowLength[lane] = static_cast<std::int32_t>(w);
        sampling.zero[lane] = 0;
        sampling.log2Width[lane] = lane == 0 ? log2w : 0;
    }
    sampling.pixels = reinterpret_cast<const Color32*>(level.pixels);
}

void SetTexelOffsets(TextureStage& stage, float offset) {
    std::uint32_t bits;
    std::memcpy(&bits, &offset, sizeof bits);
    for (std::uint32_t number = TSS_TEXELOFFSET; number < kStageStateCount; ++number) stage.states[number] = bits;
}

// The colour array an argument value names; larger values keep the previous choice (constantArray
// before any choice).
Color32* ArgumentArray(std::uint32_t argument, int stage, Color32* previous) {
    SpanContext& span = g_spanContext;
    switch (argument) {
        case TA_DIFFUSE:
            return span.diffuseArray;
        case TA_CURRENT:
            // Stage 0 has no earlier result: its "current" is the vertex colour.
            return stage == 0 ? span.diffuseArray : span.currentArray;
        case TA_TEXTURE:
        case TA_TFACTOR:
            return span.texelArray;
        case TA_SPECULAR:
            return span.specularArray;
        default:
            return previous != nullptr ? previous : span.constantArray;
    }
}

// Opaque white stands in for texels that cannot be fetched and for vertex colours switched off.
Color32* SubstituteArgument(Color32* chosen, bool hasPixels, bool colorVertex) {
    SpanContext& span = g_spanContext;
    if (chosen == span.texelArray && !hasPixels) return span.constantArray;
    if (chosen == span.diffuseArray && !colorVertex) return span.constantArray;
    return chosen;
}

// Whether a stage's level 0 can be sampled: 32-bit texels, and the power-of-two block that the
// fetch addresses as one packed W x H array lies inside the level.
bool LevelCanBeSampled(const TextureLevel& level) {
    if (level.pixels == nullptr || (level.format != A8R8G8B8 && level.format != X8R8G8B8)) return false;
    const std::uint64_t w = SampledWidth(level);
    const std::uint64_t h = SampledHeight(level);
    if (w == 0 || h == 0 || w * h > kMaxSampledTexels) return false;
    // Rows of at least W texels and at least H rows: the packed W x H block is inside the level.
    return level.pitch >= 0 && static_cast<std::uint64_t>(level.pitch) >= w * 4;
}

}  // namespace

void CompileTextureStage(RenderDevice& device, int s) {
    SpanContext& span = g_spanContext;
    TextureStage& stage = device.stages[s];
    const bool sse = device.ssePath != 0;
    // Only level 0 is sampled, whatever D3DTSS_MAXMIPLEVEL says, so sizes and texels always agree.
    const TextureLevel& level = stage.levels[0];
    const bool hasPixels = LevelCanBeSampled(level);

    span.stageFetch[s] = FetchNoTexels;
    if (hasPixels) {
        FillSampling(span.sampling[s], level);
        const bool setCarried = (device.vertexFormat & VertexFormatTexBit(s)) != 0;
        const bool samplesTexture =
            stage.states[TSS_COLORARG1] == TA_TEXTURE || stage.states[TSS_COLORARG2] == TA_TEXTURE;
        if (setCarried && samplesTexture) {
            // Bilinear filtering addresses texel corners, so coordinates move half a texel back.
            const bool bilinear = stage.states[TSS_MAGFILTER] == TEXF_LINEAR;
            SetTexelOffsets(stage, bilinear ? -0.5f : 0.0f);
            span.stageFetch[s] = bilinear ? BilinearFetchRoutine(s, sse) : PointFetchRoutine(s, sse);
        }
    } else {
        span.sampling[s] = StageSampling{};
    }

    const bool colorVertex = device.renderStates[RS_COLORVERTEX] != 0;
    Color32* first = ArgumentArray(stage.states[TSS_COLORARG1], s, span.stageArg1Base[s]);
    Color32* second = ArgumentArray(stage.states[TSS_COLORARG2], s, span.stageArg2Base[s]);
    span.stageArg1Base[s] = SubstituteArgument(first, hasPixels, colorVertex);
    span.stageArg2Base[s] = SubstituteArgument(second, hasPixels, colorVertex);
    span.stageOp[s] = ColorOpRoutine(stage.states[TSS_COLOROP], sse);
}
