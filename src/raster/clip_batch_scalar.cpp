// ClipBatch, scalar form: the plane and viewport tests read the sign bit of a stored difference,
// one lane value at a time.
#include <bit>
#include <cstdint>

#include "raster/clip.h"
#include "render/render_device.h"

namespace {

// Keeps a value inside the test when it is just on the boundary (a difference of exactly zero
// becomes negative).
constexpr double kBoundaryNudge = 1e-37;

bool SignBitSet(float value) { return (std::bit_cast<std::uint32_t>(value) >> 31) != 0; }

// The difference is formed wider and stored as a float before its sign is read.
bool InsideNear(float minZ, float z) { return SignBitSet(static_cast<float>(double(minZ) - double(z) - kBoundaryNudge)); }
bool InsideFar(float farBound, float z) { return SignBitSet(static_cast<float>(double(z) - double(farBound) - kBoundaryNudge)); }

// Per lane: bit k of the lane's group set when corner k fails `inside`.
template <typename Inside>
std::uint32_t OutsideCodes(const VertexBatch& batch, Lanes VertexSlot::*group, Inside inside) {
    std::uint32_t codes = 0;
    for (int lane = 0; lane < kBatchLanes; ++lane)
        for (int corner = 0; corner < 3; ++corner)
            if (!inside((batch.corner[corner].*group).lane[lane])) codes |= 1u << (4 * lane + corner);
    return codes;
}

// Lanes with at least one corner inside: a lane's group is not all three corners outside.
std::uint32_t LanesWithAnInsideCorner(std::uint32_t outsideCodes) {
    std::uint32_t lanes = 0;
    for (int lane = 0; lane < kBatchLanes; ++lane)
        if (((outsideCodes >> (4 * lane)) & 7u) != 7u) lanes |= 1u << lane;
    return lanes;
}

std::uint32_t LanesWithAnOutsideCorner(std::uint32_t outsideCodes) {
    std::uint32_t lanes = 0;
    for (int lane = 0; lane < kBatchLanes; ++lane)
        if (((outsideCodes >> (4 * lane)) & 7u) != 0) lanes |= 1u << lane;
    return lanes;
}

}  // namespace

void ClipBatchScalar(RenderDevice& device, VertexBatch& batch, ClipResult& result) {
    const Viewport& viewport = device.viewport;
    result = ClipResult{};

    const std::uint32_t nearOutside =
        OutsideCodes(batch, &VertexSlot::Z, [&](float z) { return InsideNear(viewport.minZ, z); });
    result.keepMask = LanesWithAnInsideCorner(nearOutside);
    if (result.keepMask == 0) return;

    const std::uint32_t farOutside =
        OutsideCodes(batch, &VertexSlot::Z, [&](float z) { return InsideFar(viewport.farBound, z); });
    result.keepMask &= LanesWithAnInsideCorner(farOutside);
    if (result.keepMask == 0) return;

    result.clipMask = result.keepMask & LanesWithAnOutsideCorner(nearOutside | farOutside);
    if (result.clipMask != 0) {
        result.nearCodes = nearOutside;
        result.farCodes = farOutside;
        for (int lane = 0; lane < kBatchLanes; ++lane)
            if (result.clipMask & (1u << lane))
                ClipTriangleLane(device, batch, lane, (nearOutside >> (4 * lane)) & 7u, (farOutside >> (4 * lane)) & 7u);
    }

    ProjectBatchScalar(batch);
    KeepFiniteLanesScalar(batch, result);
    CullBatchScalar(device.renderStates[RS_CULLMODE], batch, result);
    if (result.keepMask == 0) return;

    // A lane is dropped only when all three corners lie beyond the same edge.
    const float left = viewport.left, right = viewport.right, top = viewport.top, bottom = viewport.bottom;
    const auto keepInside = [&](Lanes VertexSlot::*group, auto inside) {
        result.keepMask &= LanesWithAnInsideCorner(OutsideCodes(batch, group, inside));
        return result.keepMask != 0;
    };
    if (!keepInside(&VertexSlot::sx, [&](float sx) { return SignBitSet(left - sx); })) return;
    if (!keepInside(&VertexSlot::sx, [&](float sx) { return SignBitSet(sx - right); })) return;
    if (!keepInside(&VertexSlot::sy, [&](float sy) { return SignBitSet(top - sy); })) return;
    keepInside(&VertexSlot::sy, [&](float sy) { return SignBitSet(sy - bottom); });
}
