// The draw entry: checks a primitive request, brings the derived state up to date (the viewport step
// chooses the processor path, whose rounding mode is then in force for the rest of the draw),
// assembles and processes the triangles, flushes the clipper and counts the draw.
#include <bit>

#include "raster/rasterizer.h"
#include "raster/span_context.h"
#include "render/primitive_assembly.h"
#include "render/render_device.h"
#include "render/rounding_mode.h"

namespace {

constexpr std::uint32_t kTweening = 255;  // D3DRS_VERTEXBLEND value that means tweening

// Leading bound stream slots (counting stops at the first empty one), or -1 when one of them is
// unusable.
int CountBoundStreams(const RenderDevice& device) {
    int count = 0;
    while (count < kStreamCount && device.streams[count].data != nullptr) {
        if (device.streams[count].format == VF_UNUSABLE) return -1;
        ++count;
    }
    return count;
}

}  // namespace

void RenderDevice::DrawPrimitive(std::uint32_t type, std::uint32_t startVertex, std::uint32_t primitiveCount) {
    SubmitPrimitives(type, 0, 0, 0, primitiveCount, nullptr, UNKNOWN, static_cast<std::int32_t>(startVertex));
}

// minIndex and vertexCount are accepted and not used.
void RenderDevice::DrawIndexedPrimitive(std::uint32_t type, std::uint32_t minIndex, std::uint32_t vertexCount,
                                        std::uint32_t startIndex, std::uint32_t primitiveCount) {
    SubmitPrimitives(type, minIndex, vertexCount, startIndex, primitiveCount, indices.data, indices.format,
                     indices.baseVertex);
}

void RenderDevice::SubmitPrimitives(std::uint32_t type, std::uint32_t, std::uint32_t, std::uint32_t startIndex,
                                    std::uint32_t primitiveCount, const void* indexData, PixelFormat indexFormat,
                                    std::int32_t baseVertex) {
    const MxcsrGuard callerMxcsr;
    statistics[8] += 1;  // every call, refused ones included

    AssemblyRule rule;
    if (primitiveCount == 0 || !AssemblyRuleFor(type, &rule) || vertexFormat == VF_UNUSABLE) return;
    const ElementSource elements{indexData, indexFormat, baseVertex};
    if (elements.Indexed() && indexData == nullptr) return;  // index format without index data
    const int streamCount = CountBoundStreams(*this);
    if (streamCount <= 0) return;  // nothing to fetch, or an unusable stream

    PrepareViewport();
    // The draw's rounding mode: toward negative infinity on the SSE path, to nearest on the scalar path.
    SetRoundingMode(ssePath != 0 ? RoundingMode::Down : RoundingMode::Nearest);
    CompileRasterState();
    PrepareTransforms();
    PrepareLighting();

    tweening = renderStates[RS_VERTEXBLEND] == kTweening ? kDirty : 0;
    if (tweening != 0) {
        tweenFactor = std::bit_cast<float>(renderStates[RS_TWEENFACTOR]);
        tweenComplement = 1.0f - tweenFactor;
    }

    // Starts zeroed so that no lane of the first batch carries indeterminate values.
    alignas(16) VertexBatch batch{};
    const std::uint64_t triangleCount = std::uint64_t{primitiveCount} * rule.trianglesPerPrimitive;
    AssemblePrimitives(*this, rule, elements, startIndex, triangleCount, streamCount, batch);
    FlushBatches(*this);

    statistics[1] += g_spanContext.roundedPixelTotal;
    statistics[2] += g_spanContext.pixelTotal;
    statistics[6] += triangleCount;
}
