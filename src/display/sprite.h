// Sprite: one textured quad of the logo scene, placed in a virtual screen of 640 x 480 units.
#pragma once

#include <cstdint>

#include "render/math.h"
#include "render/vertex_batch.h"

class Texture;

// Position, diffuse colour and two texture coordinate sets: 32 bytes, Ferrox's vertex format 0x342.
struct SpriteVertex {
    Vec3 position;
    std::uint32_t color;  // 0xAARRGGBB
    Vec2 tex0;
    Vec2 tex1;
};
static_assert(sizeof(SpriteVertex) == 32, "the vertex stream's stride is 32 bytes");

inline constexpr VertexFormat kSpriteVertexFormat = VF_XYZ | VF_DIFFUSE | VF_TEX0 | VF_TEX1;
static_assert(kSpriteVertexFormat == 0x342);

// Render flags of a sprite.
inline constexpr std::uint32_t kSpriteLinearFilter = 2;
inline constexpr std::uint32_t kSpriteAlphaBlend = 4;

struct Sprite {
    SpriteVertex m_vertices[4] = {};  // the unit quad, handed to the device as stream 0
    Texture* m_texture = nullptr;     // not owned; a sprite without one is not drawn
    Vec2 m_size = {};                 // virtual units
    Vec2 m_position = {};             // where m_origin lands
    Vec2 m_origin = {};               // pivot inside the sized quad
    std::uint32_t m_color = 0;        // copied into all four vertices
    float m_rotation = 0;             // degrees, about the quad's corner (0, 0), before scaling
    std::uint32_t m_renderFlags = 0;
    bool m_colorChanged = false;

    // Size, position and origin 0, white, no rotation, colour to be copied.
    void Init();
    // Stores the texture and, when there is one, takes its level-0 size; with or without one,
    // turns filtering and blending on and rewrites the vertices.
    void AttachTexture(Texture* texture);
    // The unit quad: corners (0,0) (1,0) (0,1) (1,1), white; v runs opposite to y, so that the
    // texture's last row (the bitmap's top row) meets y = 0.
    void ResetVertices();
    // Rotate, then scale to m_size, then move m_origin onto m_position.
    void BuildWorldMatrix(Matrix4& world) const;
};
