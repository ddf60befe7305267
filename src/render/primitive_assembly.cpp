#include "render/primitive_assembly.h"

#include <cstring>
#include <utility>

#include "render/render_device.h"
#include "render/vertex_fetch.h"

bool AssemblyRuleFor(std::uint32_t type, AssemblyRule* rule) {
    switch (type) {
        case PT_TRIANGLELIST: *rule = {3, 1, false, false, false}; return true;
        case PT_TRIANGLESTRIP: *rule = {1, 1, true, false, false}; return true;
        case PT_TRIANGLEFAN: *rule = {1, 1, false, true, false}; return true;
        case PT_QUADLIST: *rule = {2, 2, false, false, true}; return true;
        case PT_QUADSTRIP: *rule = {1, 2, true, false, false}; return true;  // a strip of 2n triangles
        default: return false;
    }
}

std::int64_t ElementSource::VertexNumber(std::uint64_t element) const {
    if (indexFormat == INDEX32) {
        std::uint32_t index;
        std::memcpy(&index, static_cast<const std::uint8_t*>(indexData) + element * sizeof index, sizeof index);
        return static_cast<std::int64_t>(index) + baseVertex;
    }
    if (indexFormat == INDEX16) {
        std::uint16_t index;
        std::memcpy(&index, static_cast<const std::uint8_t*>(indexData) + element * sizeof index, sizeof index);
        return static_cast<std::int64_t>(index) + baseVertex;
    }
    return baseVertex + static_cast<std::int64_t>(element);
}

namespace {

void PadUnusedLanes(VertexBatch& batch, int firstUnused) {
    for (VertexSlot& corner : batch.corner) {
        for (int lane = firstUnused; lane < kBatchLanes; ++lane) {
            corner.x.lane[lane] = 0.0f;
            corner.y.lane[lane] = 0.0f;
            corner.z.lane[lane] = 0.0f;
        }
    }
}

}  // namespace

void AssemblePrimitives(RenderDevice& device, const AssemblyRule& rule, const ElementSource& elements,
                        std::uint64_t startIndex, std::uint64_t triangleCount, int streamCount, VertexBatch& batch) {
    std::uint64_t p = startIndex;
    for (std::uint64_t j = 0; j < triangleCount; ++j, p += rule.step) {
        const int lane = static_cast<int>(j % kBatchLanes);
        const bool odd = (j & 1) != 0;
        std::int64_t vertex[3];
        if (rule.quadPattern && odd) {
            vertex[0] = elements.VertexNumber(p - 2);
            vertex[1] = elements.VertexNumber(p);
            vertex[2] = elements.VertexNumber(p + 1);
        } else {
            vertex[0] = elements.VertexNumber(p);
            vertex[1] = elements.VertexNumber(p + 1);
            vertex[2] = elements.VertexNumber(p + 2);
        }
        if (rule.exchangeOdd && odd) std::swap(vertex[1], vertex[2]);
        if (rule.fixedFirst) vertex[0] = elements.VertexNumber(startIndex);
        for (int k = 0; k < 3; ++k) FetchVertex(device, streamCount, vertex[k], batch.corner[k], lane);
        if (lane == kBatchLanes - 1) device.ProcessBatch(batch);
    }
    const int lastLane = static_cast<int>((triangleCount - 1) % kBatchLanes);
    if (triangleCount > 0 && lastLane < kBatchLanes - 1) {
        PadUnusedLanes(batch, lastLane + 1);
        device.ProcessBatch(batch);
    }
}
