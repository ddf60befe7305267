// The render target and the depth buffer: binding, the device's own depth buffer, and clears.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "raster/pixel_writers.h"
#include "render/render_device.h"

namespace {

// Bytes per pixel of a render-target format that has a pixel writer; 0 for every other format.
std::uint32_t TargetBytesPerPixel(PixelFormat format) {
    std::int32_t bytes = 0;
    return PixelWriterRoutine(format, false, &bytes) != nullptr ? static_cast<std::uint32_t>(bytes) : 0;
}

// A row of width pixels must fit between one row start and the next.
bool RowsFit(std::uint32_t width, std::int32_t pitch, std::uint32_t bytesPerPixel) {
    const std::int64_t rowBytes = static_cast<std::int64_t>(width) * bytesPerPixel;
    return std::llabs(static_cast<long long>(pitch)) >= rowBytes;
}

// Every entry of every row, runs of four first and the last one to three singly.
void FillRows(const BufferDesc& buffer, std::uint32_t word) {
    for (std::uint32_t y = 0; y < buffer.height; ++y) {
        std::uint8_t* entry = buffer.bits + static_cast<std::ptrdiff_t>(y) * buffer.pitch;
        std::uint32_t left = buffer.width;
        for (; left >= 4; left -= 4, entry += 16) {
            const std::uint32_t four[4] = {word, word, word, word};
            std::memcpy(entry, four, sizeof four);
        }
        for (; left > 0; --left, entry += 4) std::memcpy(entry, &word, sizeof word);
    }
}

bool Fillable(const BufferDesc& buffer) { return buffer.bits != nullptr && bitsPerPixel(buffer.format) == 32; }

}  // namespace

void RenderDevice::SetRenderTarget(void* bits, std::uint32_t width, std::uint32_t height, PixelFormat format,
                                   std::int32_t pitch) {
    // A target that no pixel writer can fill, or whose rows overlap, is not bound at all, so a
    // draw writes nothing instead of writing in the wrong layout.
    const std::uint32_t bytes = TargetBytesPerPixel(format);
    if (bits == nullptr || bytes == 0 || !RowsFit(width, pitch, bytes)) {
        ClearRenderTargetInfo();
        width = 0;
        height = 0;
    } else {
        renderTarget = BufferDesc{width, height, format, pitch, static_cast<std::uint8_t*>(bits)};
    }
    SetViewport(0, 0, width, height, 0.0f, 1.0f);
    if (depthBuffer.bits == nullptr || depthBuffer.bits == ownedDepthBuffer.bits) EnsureDepthBuffer();
}

void RenderDevice::ClearRenderTargetInfo() { renderTarget = BufferDesc{}; }

void RenderDevice::SetDepthBuffer(void* bits, std::uint32_t width, std::uint32_t height, PixelFormat format,
                                  std::int32_t pitch) {
    if (bits == nullptr) {
        if (ownedDepthBuffer.bits == nullptr) EnsureDepthBuffer();
        return;
    }
    if (bits == ownedDepthBuffer.bits) {
        // The device's own buffer is bound with the size it was made with.
        depthBuffer = ownedDepthBuffer;
        return;
    }
    if (format != ZBUFFER32 || !RowsFit(width, pitch, 4)) return;
    ReleaseDepthBuffer();
    depthBuffer = BufferDesc{width, height, format, pitch, static_cast<std::uint8_t*>(bits)};
}

void RenderDevice::EnsureDepthBuffer() {
    if (renderTarget.bits == nullptr) return;
    const std::uint32_t width = renderTarget.width;
    const std::uint32_t height = renderTarget.height;
    const bool reusable = ownedDepthBuffer.bits != nullptr && ownedDepthBuffer.width == width &&
                          ownedDepthBuffer.height == height;
    if (!reusable) {
        ReleaseDepthBuffer();
        const std::uint64_t count = static_cast<std::uint64_t>(width) * height;
        // The pitch must fit its 32-bit field; the target's own row check keeps widths far below.
        if (count == 0 || width > 0x1FFFFFFFu) return;
        std::uint32_t* values = new (std::nothrow) std::uint32_t[count];
        if (values == nullptr) return;
        ownedDepthBuffer = BufferDesc{width, height, ZBUFFER32, static_cast<std::int32_t>(width * 4),
                                      reinterpret_cast<std::uint8_t*>(values)};
    }
    SetDepthBuffer(ownedDepthBuffer.bits, width, height, ZBUFFER32, ownedDepthBuffer.pitch);
    ClearDepth(1.0f);
}

void RenderDevice::ReleaseDepthBuffer() {
    if (ownedDepthBuffer.bits == nullptr) return;
    if (depthBuffer.bits == ownedDepthBuffer.bits) depthBuffer = BufferDesc{};
    delete[] reinterpret_cast<std::uint32_t*>(ownedDepthBuffer.bits);
    ownedDepthBuffer = BufferDesc{};
}

void RenderDevice::ClearDepth(float value) {
    if (!Fillable(depthBuffer)) return;
    const float depth = value * kFarBound;
    std::uint32_t word;
    std::memcpy(&word, &depth, sizeof word);
    FillRows(depthBuffer, word);
}

void RenderDevice::ClearColor(std::uint32_t color) {
    if (Fillable(renderTarget)) FillRows(renderTarget, color);
}
