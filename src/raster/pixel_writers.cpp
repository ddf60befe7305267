#include "raster/pixel_writers.h"

#include "raster/pixel_writer_forms.h"

SpanRoutine PixelWriterRoutine(PixelFormat format, bool ssePath, std::int32_t* bytesPerPixel) {
    if (format >= kWriterFormatCount) return nullptr;
    const SpanRoutine writer = (ssePath ? kSsePixelWriters : kScalarPixelWriters)[format];
    if (writer != nullptr && bytesPerPixel != nullptr) {
        *bytesPerPixel = format == A8R8G8B8 || format == X8R8G8B8 ? 4 : 2;
    }
    return writer;
}

void WriteNoPixels() {}
