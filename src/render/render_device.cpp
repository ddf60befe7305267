// Placeholder bodies until the device state lands.
#include "render/render_device.h"

#include "raster/rasterizer.h"

RenderDevice::RenderDevice() : RenderDevice(0u) {}
RenderDevice::RenderDevice(std::uint32_t word) : tag(word) {
    batchConsumer = ClipAndRasterizeBatch;
    ResetState();
}
RenderDevice::~RenderDevice() {}
void RenderDevice::ResetState() {}
void RenderDevice::SetRenderState(std::uint32_t, std::uint32_t) {}
std::uint32_t RenderDevice::GetRenderState(std::uint32_t) const { return 0; }
void RenderDevice::SetTextureStageState(std::uint32_t, std::uint32_t, std::uint32_t) {}
std::uint32_t RenderDevice::GetTextureStageState(std::uint32_t, std::uint32_t) const { return 0; }
void RenderDevice::SetTexture(std::uint32_t, const Texture*) {}
void RenderDevice::SetTextureLevel(std::uint32_t, std::uint32_t, const Image*) {}
void RenderDevice::ClearTextureStage(std::uint32_t) {}
void RenderDevice::SetTransform(std::uint32_t, const Matrix4&) {}
void RenderDevice::GetTransform(std::uint32_t, Matrix4*) const {}
void RenderDevice::MultiplyTransform(std::uint32_t, const Matrix4&) {}
void RenderDevice::ResetTransforms() {}
void RenderDevice::SetViewport(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, float, float) {}
void RenderDevice::SetLightDiffuse(std::uint32_t, float, float, float, float) {}
void RenderDevice::SetLightSpecular(std::uint32_t, float, float, float, float) {}
void RenderDevice::SetLightAmbient(std::uint32_t, float, float, float, float) {}
void RenderDevice::SetLightDirection(std::uint32_t, float, float, float) {}
void RenderDevice::SetLightParameter(std::uint32_t, std::uint32_t) {}
void RenderDevice::SetMaterial(const void*) {}
void RenderDevice::SetVertexFormat(VertexFormat) {}
void RenderDevice::SetStreamSource(std::uint32_t, const void*, VertexFormat, std::uint32_t) {}
void RenderDevice::SetStreamTweenFormat(std::uint32_t, VertexFormat) {}
void RenderDevice::SetIndices(const void*, PixelFormat, std::int32_t) {}
void RenderDevice::SetRenderTarget(void*, std::uint32_t, std::uint32_t, PixelFormat, std::int32_t) {}
void RenderDevice::ClearRenderTargetInfo() {}
void RenderDevice::SetDepthBuffer(void*, std::uint32_t, std::uint32_t, PixelFormat, std::int32_t) {}
void RenderDevice::EnsureDepthBuffer() {}
void RenderDevice::ReleaseDepthBuffer() {}
void RenderDevice::ClearDepth(float) {}
void RenderDevice::ClearColor(std::uint32_t) {}
std::uint64_t RenderDevice::GetStatistic(std::uint32_t) const { return 0; }
void RenderDevice::ResetStatistic(std::uint32_t) {}
void RenderDevice::ResetStatistics() {}
void RenderDevice::PrepareViewport() {}
void RenderDevice::CompileRasterState() {}
void RenderDevice::InitRasterTables() {}
void RenderDevice::SelectProcessorPaths() {}
