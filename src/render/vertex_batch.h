#pragma once
// Ferrox's vertex format word and the four-triangle batch that every stage after vertex processing
// reads and rewrites. The batch is structure-of-arrays: each attribute is a group of four floats, one
// per triangle ("lane"), so one SSE instruction handles the same attribute of four triangles.

#include <cstdint>

// Independent flag bits, one per attribute; not Direct3D's encoding. Attributes are stored in a
// vertex in this order: position, normal, weights 1-3, diffuse, specular, texture sets 0-3.
using VertexFormat = std::uint32_t;
enum VertexFormatBits : std::uint32_t {
    VF_XYZ = 0x2,
    VF_NORMAL = 0x10,
    VF_DIFFUSE = 0x40,
    VF_SPECULAR = 0x80,
    VF_TEX0 = 0x100,
    VF_TEX1 = 0x200,
    VF_TEX2 = 0x400,
    VF_TEX3 = 0x800,
    VF_WEIGHT1 = 0x1000,
    VF_WEIGHT2 = 0x2000,
    VF_WEIGHT3 = 0x4000,
    VF_UNUSABLE = 0x8000,  // a device or stream format that makes the draw entry refuse the draw
};
constexpr VertexFormat VertexFormatTexBit(int set) { return VF_TEX0 << set; }

constexpr int kBatchLanes = 4;
constexpr int kTextureSets = 4;

// One attribute of one corner for the four lanes.
struct alignas(16) Lanes {
    float lane[kBatchLanes];
};

// Colour channels are kept in A, R, G, B order on a 0-255 float scale.
enum ColorChannel { CH_A = 0, CH_R = 1, CH_G = 2, CH_B = 3 };

// One corner of the four triangles: 46 attribute groups, 736 bytes.
struct VertexSlot {
    Lanes x, y, z;                    // object-space position
    Lanes nx, ny, nz;                 // normal
    Lanes w1, w2, w3;                 // blend weights
    Lanes diffuse[4];                 // A, R, G, B
    Lanes specular[4];                // A, R, G, B
    Lanes tex[kTextureSets][2];       // u, v of each texture set
    Lanes sx, sy, rhw, spare;         // projected screen position and 1 / W, written by clipping
    Lanes X, Y, Z, W;                 // position transformed by the composite matrix C0
    Lanes blend[3][4];                // X, Y, Z, W transformed by the blend matrices
    Lanes reserved;
};
static_assert(sizeof(VertexSlot) == 46 * 16, "a vertex slot is 46 attribute groups");

struct VertexBatch {
    VertexSlot corner[3];
};
static_assert(sizeof(VertexBatch) == 138 * 16, "a batch is 138 attribute groups");
static_assert(alignof(VertexBatch) == 16, "batches are read with aligned SSE loads");
