// Vertex format, vertex streams and the index binding.
#include "render/render_device.h"

void RenderDevice::SetVertexFormat(VertexFormat format) { vertexFormat = format; }

void RenderDevice::SetStreamSource(std::uint32_t stream, const void* data, VertexFormat format,
                                   std::uint32_t stride) {
    if (stream >= kStreamCount) return;
    streams[stream] = StreamSource{static_cast<const std::uint8_t*>(data), format, 0, stride};
}

void RenderDevice::SetStreamTweenFormat(std::uint32_t stream, VertexFormat format) {
    if (stream >= kStreamCount) return;
    streams[stream].tweenFormat = format;
}

void RenderDevice::SetIndices(const void* data, PixelFormat format, std::int32_t baseVertexIndex) {
    indices = IndexBinding{static_cast<const std::uint8_t*>(data), format, baseVertexIndex};
}
