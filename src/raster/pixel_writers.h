#pragma once
// The pixel writers: the final depth test (and the alpha test of X8R8G8B8), the conversion to the
// render target's format and the writes of depth and colour.

#include <cstdint>

#include "image/pixel_format.h"
#include "raster/span_context.h"

// The writer for a render-target format and its bytes per pixel; none (and bytesPerPixel untouched)
// for a format without a writer.
SpanRoutine PixelWriterRoutine(PixelFormat format, bool ssePath, std::int32_t* bytesPerPixel);
// The writer in force before any format has chosen one: it writes nothing.
void WriteNoPixels();
