// ClipBatch, SSE form: each test compares one attribute of the four lanes at once and gathers the
// per-lane results with movemask.
#include <immintrin.h>

#include <cstdint>

#include "raster/clip.h"
#include "render/render_device.h"

namespace {

// Bit 4i + k set when corner k of lane i fails the test whose passing lanes are in `inside[k]`.
std::uint32_t OutsideCodes(const __m128 inside[3]) {
    std::uint32_t codes = 0;
    for (int corner = 0; corner < 3; ++corner) {
        const auto outsideLanes = static_cast<std::uint32_t>(~_mm_movemask_ps(inside[corner])) & kAllLanes;
        for (int lane = 0; lane < kBatchLanes; ++lane)
            if (outsideLanes & (1u << lane)) codes |= 1u << (4 * lane + corner);
    }
    return codes;
}

std::uint32_t LanesWithAnInsideCorner(const __m128 inside[3]) {
    return static_cast<std::uint32_t>(_mm_movemask_ps(_mm_or_ps(_mm_or_ps(inside[0], inside[1]), inside[2])));
}

std::uint32_t LanesWithAnOutsideCorner(const __m128 inside[3]) {
    const __m128 all = _mm_and_ps(_mm_and_ps(inside[0], inside[1]), inside[2]);
    return static_cast<std::uint32_t>(~_mm_movemask_ps(all)) & kAllLanes;
}

__m128 Load(const Lanes& group) { return _mm_load_ps(group.lane); }

}  // namespace

void ClipBatchSse(RenderDevice& device, VertexBatch& batch, ClipResult& result) {
    // Broadcast from the Viewport block itself, so the bounds are those of this draw whichever path
    // the previous draws took.
    const Viewport& viewport = device.viewport;
    const __m128 minZ = _mm_set1_ps(viewport.minZ);
    const __m128 farBound = _mm_set1_ps(viewport.farBound);
    result = ClipResult{};

    __m128 insideNear[3], insideFar[3];
    for (int corner = 0; corner < 3; ++corner) {
        const __m128 z = Load(batch.corner[corner].Z);
        insideNear[corner] = _mm_cmple_ps(minZ, z);
        insideFar[corner] = _mm_cmple_ps(z, farBound);
    }
    result.keepMask = LanesWithAnInsideCorner(insideNear);
    if (result.keepMask == 0) return;
    result.keepMask &= LanesWithAnInsideCorner(insideFar);
    if (result.keepMask == 0) return;

    __m128 insideBoth[3];
    for (int corner = 0; corner < 3; ++corner) insideBoth[corner] = _mm_and_ps(insideNear[corner], insideFar[corner]);
    result.clipMask = result.keepMask & LanesWithAnOutsideCorner(insideBoth);
    if (result.clipMask != 0) {
        result.nearCodes = OutsideCodes(insideNear);
        result.farCodes = OutsideCodes(insideFar);
        for (int lane = 0; lane < kBatchLanes; ++lane)
            if (result.clipMask & (1u << lane))
                ClipTriangleLane(device, batch, lane, (result.nearCodes >> (4 * lane)) & 7u,
                                 (result.farCodes >> (4 * lane)) & 7u);
    }

    ProjectBatchSse(batch);
    KeepFiniteLanesSse(batch, result);
    CullBatchSse(device.renderStates[RS_CULLMODE], batch, result);
    if (result.keepMask == 0) return;

    // A lane is dropped only when all three corners lie beyond the same edge.
    const __m128 left = _mm_set1_ps(viewport.left), right = _mm_set1_ps(viewport.right);
    const __m128 top = _mm_set1_ps(viewport.top), bottom = _mm_set1_ps(viewport.bottom);
    const auto keepInside = [&](Lanes VertexSlot::*group, auto compare) {
        __m128 inside[3];
        for (int corner = 0; corner < 3; ++corner) inside[corner] = compare(Load(batch.corner[corner].*group));
        result.keepMask &= LanesWithAnInsideCorner(inside);
        return result.keepMask != 0;
    };
    if (!keepInside(&VertexSlot::sx, [&](__m128 sx) { return _mm_cmplt_ps(left, sx); })) return;
    if (!keepInside(&VertexSlot::sx, [&](__m128 sx) { return _mm_cmple_ps(sx, right); })) return;
    if (!keepInside(&VertexSlot::sy, [&](__m128 sy) { return _mm_cmplt_ps(top, sy); })) return;
    keepInside(&VertexSlot::sy, [&](__m128 sy) { return _mm_cmple_ps(sy, bottom); });
}
