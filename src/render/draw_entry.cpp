// Placeholder bodies until the draw entry and vertex processing land.
#include "render/render_device.h"

void RenderDevice::DrawPrimitive(std::uint32_t, std::uint32_t, std::uint32_t) {}
void RenderDevice::DrawIndexedPrimitive(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void RenderDevice::SubmitPrimitives(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                    const void*, PixelFormat, std::int32_t) {}
void RenderDevice::PrepareTransforms() {}
void RenderDevice::PrepareLighting() {}
void RenderDevice::ProcessBatch(VertexBatch&) {}
