#pragma once
// The per-vertex attributes that the vertex format selects, beyond the position: the ones the
// clipper interpolates along an edge and the queues copy from lane to lane.

#include "raster/clip.h"

// Normal 3 + diffuse 4 + specular 4 + u, v of four texture sets.
constexpr int kMaxFormatAttributes = 3 + 4 + 4 + 2 * kTextureSets;

// Fills `out` with the addresses of the vertex's selected attributes, always in the same order, and
// returns how many there are.
inline int FormatAttributes(VertexView v, VertexFormat format, float* (&out)[kMaxFormatAttributes]) {
    int count = 0;
    if (format & VF_NORMAL) {
        out[count++] = &v(&VertexSlot::nx);
        out[count++] = &v(&VertexSlot::ny);
        out[count++] = &v(&VertexSlot::nz);
    }
    if (format & VF_DIFFUSE)
        for (int channel = 0; channel < 4; ++channel) out[count++] = &v.Diffuse(channel);
    if (format & VF_SPECULAR)
        for (int channel = 0; channel < 4; ++channel) out[count++] = &v.Specular(channel);
    for (int set = 0; set < kTextureSets; ++set)
        if (format & VertexFormatTexBit(set)) {
            out[count++] = &v.Tex(set, 0);
            out[count++] = &v.Tex(set, 1);
        }
    return count;
}
