#include "display/sprite.h"

#include "image/texture.h"

namespace {
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

// Corner positions and their texture coordinates, in stream order (a two-triangle strip).
struct Corner {
    float x, y, u, v;
};
constexpr Corner kUnitQuad[4] = {{0, 0, 0, 1}, {1, 0, 1, 1}, {0, 1, 0, 0}, {1, 1, 1, 0}};
}  // namespace

void Sprite::Init() {
    m_size.Set(0, 0);
    m_position.Set(0, 0);
    m_origin.Set(0, 0);
    m_color = kWhite;
    m_rotation = 0;
    m_colorChanged = true;
}

void Sprite::AttachTexture(Texture* texture) {
    m_texture = texture;
    if (texture != nullptr) {
        m_size.Set(float(texture->levelWidth(0)), float(texture->levelHeight(0)));
    }
    m_renderFlags |= kSpriteLinearFilter | kSpriteAlphaBlend;
    ResetVertices();
}

void Sprite::ResetVertices() {
    for (int i = 0; i < 4; ++i) {
        const Corner& corner = kUnitQuad[i];
        m_vertices[i].position.Set(corner.x, corner.y, 0);
        m_vertices[i].color = kWhite;
        m_vertices[i].tex0.Set(corner.u, corner.v);
        m_vertices[i].tex1.Set(corner.u, corner.v);
    }
}

void Sprite::BuildWorldMatrix(Matrix4& world) const {
    world.Identity();
    world.Rotate(0, 0, m_rotation);
    world.Scale(m_size.x, m_size.y, 1);
    world.Translate(m_position.x - m_origin.x, m_position.y - m_origin.y, 0);
}
