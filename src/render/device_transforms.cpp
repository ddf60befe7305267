// Transform slots (view, projection, texture matrices, 256 world matrices) and the viewport.
#include "render/render_device.h"

namespace {

// The matrix a transform number names, or none: 2 view, 3 projection, 16-19 texture matrices, and
// any number with bit 0x100 selects world matrix (number AND 255).
template <typename Device>
auto TransformSlot(Device& device, std::uint32_t number) -> decltype(&device.view) {
    if ((number & TS_WORLD0) != 0) return &device.world[number & 0xFFu];
    if (number == TS_VIEW) return &device.view;
    if (number == TS_PROJECTION) return &device.projection;
    if (number >= TS_TEXTURE0 && number < TS_TEXTURE0 + kTextureStages) return &device.textureMatrix[number - TS_TEXTURE0];
    return nullptr;
}

}  // namespace

void RenderDevice::SetTransform(std::uint32_t number, const Matrix4& matrix) {
    transformsDirty = kDirty;
    if (Matrix4* slot = TransformSlot(*this, number)) *slot = matrix;
}

// An unknown number or a null output leaves the output untouched.
void RenderDevice::GetTransform(std::uint32_t number, Matrix4* matrix) const {
    const Matrix4* slot = TransformSlot(*this, number);
    if (slot != nullptr && matrix != nullptr) *matrix = *slot;
}

void RenderDevice::MultiplyTransform(std::uint32_t number, const Matrix4& matrix) {
    const Matrix4* slot = TransformSlot(*this, number);
    if (slot == nullptr) {
        transformsDirty = kDirty;
        return;
    }
    Matrix4 result = matrix;
    result.Multiply(*slot);  // the given matrix on the left
    SetTransform(number, result);
}

void RenderDevice::ResetTransforms() {
    world[0].Identity();
    view.Identity();
    projection.Identity();
    for (Matrix4& matrix : textureMatrix) matrix.Identity();
    for (Matrix4& matrix : composite) matrix.Identity();
    transformsDirty = kDirty;
}

void RenderDevice::SetViewport(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height,
                               float minZ, float maxZ) {
    // The viewport never reaches past the render target, and its corner never past its size.
    if (width > renderTarget.width) width = renderTarget.width;
    if (height > renderTarget.height) height = renderTarget.height;
    if (x > width) x = width;
    if (y > height) y = height;
    const float left = static_cast<float>(x);
    const float top = static_cast<float>(y);
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    const float depthRange = maxZ - minZ;
    viewport = Viewport{left,  top,  left + w, top + h,   w,          h,          minZ,
                        maxZ,  kFarBound, depthRange, w * 0.5f, h * 0.5f, depthRange, kDirty};
    transformsDirty = kDirty;
}
