#include "render/vertex_fetch.h"

#include <cstddef>
#include <cstring>

#include "render/render_device.h"

namespace {

// One attribute kind of the vertex layout, in the order attributes are stored in a vertex.
struct AttributeKind {
    VertexFormat bit;
    int components;
    bool packedColor;  // one 32-bit 0xAARRGGBB word split into A, R, G, B groups
};

constexpr AttributeKind kAttributeKinds[] = {
    {VF_XYZ, 3, false},
    {VF_NORMAL, 3, false},
    {VF_WEIGHT1, 1, false},
    {VF_WEIGHT2, 1, false},
    {VF_WEIGHT3, 1, false},
    {VF_DIFFUSE, 4, true},
    {VF_SPECULAR, 4, true},
    {VF_TEX0, 2, false},
    {VF_TEX1, 2, false},
    {VF_TEX2, 2, false},
    {VF_TEX3, 2, false},
};

// The slot groups that receive the kind's components, in stored order.
struct Groups {
    Lanes* component[4];
};

Groups GroupsOf(VertexSlot& corner, const AttributeKind& kind) {
    switch (kind.bit) {
        case VF_XYZ: return {{&corner.x, &corner.y, &corner.z, nullptr}};
        case VF_NORMAL: return {{&corner.nx, &corner.ny, &corner.nz, nullptr}};
        case VF_WEIGHT1: return {{&corner.w1, nullptr, nullptr, nullptr}};
        case VF_WEIGHT2: return {{&corner.w2, nullptr, nullptr, nullptr}};
        case VF_WEIGHT3: return {{&corner.w3, nullptr, nullptr, nullptr}};
        case VF_DIFFUSE: return {{&corner.diffuse[0], &corner.diffuse[1], &corner.diffuse[2], &corner.diffuse[3]}};
        case VF_SPECULAR:
            return {{&corner.specular[0], &corner.specular[1], &corner.specular[2], &corner.specular[3]}};
        default: {  // texture sets 0-3
            const int set = kind.bit == VF_TEX0 ? 0 : kind.bit == VF_TEX1 ? 1 : kind.bit == VF_TEX2 ? 2 : 3;
            return {{&corner.tex[set][0], &corner.tex[set][1], nullptr, nullptr}};
        }
    }
}

std::size_t StoredSize(const AttributeKind& kind) {
    return kind.packedColor ? sizeof(std::uint32_t) : sizeof(float) * static_cast<std::size_t>(kind.components);
}

// The attribute's components as floats; colours come out on their 0-255 scale, A, R, G, B.
void ReadAttribute(const std::uint8_t* source, const AttributeKind& kind, float* values) {
    if (kind.packedColor) {
        std::uint32_t color;
        std::memcpy(&color, source, sizeof color);
        values[CH_A] = static_cast<float>((color >> 24) & 0xFF);
        values[CH_R] = static_cast<float>((color >> 16) & 0xFF);
        values[CH_G] = static_cast<float>((color >> 8) & 0xFF);
        values[CH_B] = static_cast<float>(color & 0xFF);
    } else {
        std::memcpy(values, source, StoredSize(kind));
    }
}

}  // namespace

void FetchVertex(const RenderDevice& device, int streamCount, std::int64_t vertexNumber, VertexSlot& corner,
                 int lane) {
    const bool tweening = device.tweening != 0;
    const float f = device.tweenFactor;
    const float complement = device.tweenComplement;
    for (int s = 0; s < streamCount; ++s) {
        const StreamSource& stream = device.streams[s];
        const VertexFormat format = streamCount == 1 ? device.vertexFormat : stream.format;
        // Unsigned 64-bit product: defined for any vertex number and stride (a signed one could overflow).
        const auto offset = static_cast<std::uint64_t>(vertexNumber) * stream.stride;
        const std::uint8_t* source = stream.data + static_cast<std::ptrdiff_t>(offset);
        for (const AttributeKind& kind : kAttributeKinds) {
            if (((format | stream.tweenFormat) & kind.bit) == 0) continue;
            const Groups groups = GroupsOf(corner, kind);
            float values[4];
            if (format & kind.bit) {
                ReadAttribute(source, kind, values);
                for (int c = 0; c < kind.components; ++c) groups.component[c]->lane[lane] = values[c];
                source += StoredSize(kind);
            }
            // A tween attribute follows the base attribute of its kind; without tweening it is skipped.
            if (stream.tweenFormat & kind.bit) {
                if (tweening) {
                    ReadAttribute(source, kind, values);
                    for (int c = 0; c < kind.components; ++c)
                        groups.component[c]->lane[lane] =
                            f * values[c] + complement * groups.component[c]->lane[lane];
                }
                source += StoredSize(kind);
            }
        }
    }
}
