// The eight light records and the material. Lighting reads light 0 only; the material, the
// specular block and the spare word are kept for callers that read them back.
#include <cstring>

#include "render/render_device.h"

namespace {

void StoreColor(float (&block)[4], float a, float r, float g, float b) {
    block[0] = a;
    block[1] = r;
    block[2] = g;
    block[3] = b;
}

}  // namespace

void RenderDevice::SetLightDiffuse(std::uint32_t index, float a, float r, float g, float b) {
    if (index >= kLightCount) return;
    StoreColor(lights[index].diffuse, a, r, g, b);
    lights[index].dirty = kDirty;
}

void RenderDevice::SetLightSpecular(std::uint32_t index, float a, float r, float g, float b) {
    if (index >= kLightCount) return;
    StoreColor(lights[index].specular, a, r, g, b);
    lights[index].dirty = kDirty;
}

void RenderDevice::SetLightAmbient(std::uint32_t index, float a, float r, float g, float b) {
    if (index >= kLightCount) return;
    StoreColor(lights[index].ambient, a, r, g, b);
    lights[index].dirty = kDirty;
}

void RenderDevice::SetLightDirection(std::uint32_t index, float x, float y, float z) {
    if (index >= kLightCount) return;
    Vec3 direction{x, y, z};
    // A zero vector has no direction; normalising it would fill the light with NaNs.
    if (x != 0.0f || y != 0.0f || z != 0.0f) direction.Normalize();
    Light& light = lights[index];
    light.direction[0] = direction.x;
    light.direction[1] = direction.y;
    light.direction[2] = direction.z;
    light.dirty = kDirty;
}

void RenderDevice::SetLightParameter(std::uint32_t index, std::uint32_t value) {
    if (index >= kLightCount) return;
    lights[index].parameter = value;
    lights[index].dirty = kDirty;
}

void RenderDevice::SetMaterial(const void* source) {
    if (source != nullptr) std::memcpy(material, source, sizeof material);
}
