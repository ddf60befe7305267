// The span context's draw-independent tables and the pixel writer for the bound render target.
#include "raster/pixel_writers.h"
#include "render/render_device.h"

namespace {

bool g_constantArrayFilled = false;

}  // namespace

void RenderDevice::InitRasterTables() {
    SpanContext& span = g_spanContext;
    if (!g_constantArrayFilled) {
        for (Color32& color : span.constantArray) color = 0xFFFFFFFFu;
        g_constantArrayFilled = true;
    }
    if (depthBuffer.format == ZBUFFER32) span.depthBytesPerPixel = 4;

    // Without a bound target nothing may be written; targets are only bound in formats that have a
    // writer, so this is the one case without a choice.
    std::int32_t bytes = span.colorBytesPerPixel;
    SpanRoutine writer = nullptr;
    if (renderTarget.bits != nullptr) writer = PixelWriterRoutine(renderTarget.format, ssePath != 0, &bytes);
    span.pixelWriter = writer != nullptr ? writer : WriteNoPixels;
    span.colorBytesPerPixel = bytes;
}
