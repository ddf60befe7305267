// The pixel writers in plain C++, pixel by pixel; the SSE form beside it (pixel_writers_sse.cpp)
// takes whole groups of four and the same steps for the rest.

#include "raster/pixel_writer_forms.h"

namespace {

template <typename Pixel, Pixel (*Convert)(Color32), bool AlphaTested>
void WriteSpan() {
    const SpanContext& c = g_spanContext;
    const std::uint32_t alphaThreshold = AlphaThreshold(c, AlphaTested);
    for (int i = c.spanStart - c.spanEnd; i < 0; ++i) {
        WritePixelIfVisible<Pixel, Convert>(c, i, alphaThreshold);
    }
}

}  // namespace

const SpanRoutine kScalarPixelWriters[kWriterFormatCount] = {
    nullptr,                                      // UNKNOWN
    WriteSpan<std::uint32_t, ToA8R8G8B8, false>,  // A8R8G8B8
    WriteSpan<std::uint32_t, ToX8R8G8B8, true>,   // X8R8G8B8
    nullptr,                                      // R8G8B8
    WriteSpan<std::uint16_t, ToA4R4G4B4, false>,  // A4R4G4B4
    WriteSpan<std::uint16_t, ToX4R4G4B4, false>,  // X4R4G4B4
    WriteSpan<std::uint16_t, ToA1R5G5B5, false>,  // A1R5G5B5
    WriteSpan<std::uint16_t, ToX1R5G5B5, false>,  // X1R5G5B5
    WriteSpan<std::uint16_t, ToR5G6B5, false>,    // R5G6B5
};
