#pragma once
// The pixel writers in their two forms, indexed by the render target's PixelFormat (formats
// without a writer hold none), and the per-pixel step both forms share.

#include <bit>
#include <cstdint>
#include <cstring>

#include "raster/span_context.h"

constexpr int kWriterFormatCount = R5G6B5 + 1;

extern const SpanRoutine kScalarPixelWriters[kWriterFormatCount];
extern const SpanRoutine kSsePixelWriters[kWriterFormatCount];

// The conversions from 0xAARRGGBB, keeping each channel's top bits.
inline std::uint32_t ToA8R8G8B8(Color32 c) { return c; }
inline std::uint32_t ToX8R8G8B8(Color32 c) { return c & 0x00FFFFFF; }
inline std::uint16_t ToA4R4G4B4(Color32 c) {
    return static_cast<std::uint16_t>(((c >> 16) & 0xF000) | ((c >> 12) & 0x0F00) |
                                      ((c >> 8) & 0x00F0) | ((c >> 4) & 0x000F));
}
inline std::uint16_t ToX4R4G4B4(Color32 c) { return ToA4R4G4B4(c) & 0x0FFF; }
inline std::uint16_t ToA1R5G5B5(Color32 c) {
    return static_cast<std::uint16_t>(((c >> 16) & 0x8000) | ((c >> 9) & 0x7C00) |
                                      ((c >> 6) & 0x03E0) | ((c >> 3) & 0x001F));
}
inline std::uint16_t ToX1R5G5B5(Color32 c) { return ToA1R5G5B5(c) & 0x7FFF; }
inline std::uint16_t ToR5G6B5(Color32 c) {
    return static_cast<std::uint16_t>(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) |
                                      ((c >> 3) & 0x001F));
}

// The smallest alpha that passes the alpha test; 0 lets every pixel through. References above 255
// pass no pixel, whatever their size.
inline std::uint32_t AlphaThreshold(const SpanContext& c, bool alphaTested) {
    if (!alphaTested || c.alphaTestEnable == 0) return 0;
    return c.alphaRef < 256 ? c.alphaRef : 256;
}

// Pixel i of the span (negative, relative to the end pointers): the alpha test, then the depth test
// on the bit patterns of w read as signed integers (equal passes), then both writes. Buffers may be
// unaligned, so they are accessed through memcpy.
template <typename Pixel, Pixel (*Convert)(Color32)>
inline void WritePixelIfVisible(const SpanContext& c, int i, std::uint32_t alphaThreshold) {
    const Color32 color = c.currentEnd[i];
    if ((color >> 24) < alphaThreshold) return;
    const std::int32_t w = std::bit_cast<std::int32_t>(c.wEnd[i]);
    std::uint8_t* depth = c.depthEnd + std::ptrdiff_t{i} * 4;
    std::int32_t stored;
    std::memcpy(&stored, depth, sizeof stored);
    if (w > stored) return;
    std::memcpy(depth, &w, sizeof w);
    const Pixel pixel = Convert(color);
    std::memcpy(c.colorEnd + std::ptrdiff_t{i} * static_cast<std::ptrdiff_t>(sizeof(Pixel)), &pixel,
                sizeof pixel);
}
