// Geometric clipping of one triangle against one plane of constant Z (the near plane, or MaxZ for
// a vertex beyond the far bound). The sides of the viewport are never clipped: the scan converter
// confines spans to the viewport instead.
#include <initializer_list>

#include "raster/clip.h"
#include "raster/vertex_attributes.h"
#include "render/render_device.h"

namespace {

// Moves `out` to I + t (O - I) for every interpolated attribute. Each attribute of O and I is read
// before `out`'s is written, so `out` may be O.
void Interpolate(VertexView outside, VertexView inside, float t, VertexView out, VertexFormat format) {
    for (Lanes VertexSlot::*group : {&VertexSlot::X, &VertexSlot::Y, &VertexSlot::W}) {
        const float i = inside(group);
        out(group) = i + t * (outside(group) - i);
    }
    float* o[kMaxFormatAttributes];
    float* in[kMaxFormatAttributes];
    float* result[kMaxFormatAttributes];
    const int count = FormatAttributes(outside, format, o);
    FormatAttributes(inside, format, in);
    FormatAttributes(out, format, result);
    for (int k = 0; k < count; ++k) {
        const float i = *in[k];
        *result[k] = i + t * (*o[k] - i);
    }
}

float EdgeFraction(VertexView outside, VertexView inside, float plane) {
    const float insideZ = inside(&VertexSlot::Z);
    return (insideZ - plane) / (insideZ - outside(&VertexSlot::Z));
}

}  // namespace

void ClipEdge(VertexView outside, VertexView inside, float plane, VertexView out, VertexFormat format) {
    const float t = EdgeFraction(outside, inside, plane);
    Interpolate(outside, inside, t, out, format);
    out(&VertexSlot::Z) = plane;
}

void ClipTwoVertices(VertexView outside1, VertexView outside2, VertexView inside, float plane, VertexFormat format) {
    const float t1 = EdgeFraction(outside1, inside, plane);
    const float t2 = EdgeFraction(outside2, inside, plane);
    Interpolate(outside1, inside, t1, outside1, format);
    Interpolate(outside2, inside, t2, outside2, format);
    outside1(&VertexSlot::Z) = plane;
    outside2(&VertexSlot::Z) = plane;
}

void ClipTriangleLane(RenderDevice& device, VertexBatch& batch, int lane, std::uint32_t nearCode,
                      std::uint32_t farCode) {
    float plane;
    std::uint32_t code;
    if (nearCode != 0) {
        plane = device.viewport.minZ;
        code = nearCode;
    } else if (farCode != 0) {
        plane = device.viewport.maxZ;
        code = farCode;
    } else {
        return;
    }
    const VertexFormat format = device.vertexFormat;
    const VertexView v[3] = {ViewOf(batch, 0, lane), ViewOf(batch, 1, lane), ViewOf(batch, 2, lane)};

    // One corner outside: the lane keeps the quadrilateral's first half and the second half, with
    // the same winding, is queued from a scratch corner.
    const auto clipOne = [&](int out, int next, int previous) {
        alignas(16) VertexSlot scratch;
        const VertexView n{&scratch, 0};
        ClipEdge(v[out], v[previous], plane, n, format);
        ClipEdge(v[out], v[next], plane, v[out], format);
        QueueClipTriangle(device, v[out], v[previous], n, LaneFlatColor(device, batch, lane));
    };
    switch (code) {
        case 1: clipOne(0, 1, 2); break;
        case 2: clipOne(1, 2, 0); break;
        case 4: clipOne(2, 0, 1); break;
        case 3: ClipTwoVertices(v[0], v[1], v[2], plane, format); break;
        case 5: ClipTwoVertices(v[0], v[2], v[1], plane, format); break;
        case 6: ClipTwoVertices(v[1], v[2], v[0], plane, format); break;
        default: break;  // no corner or every corner outside: nothing to clip
    }
}
