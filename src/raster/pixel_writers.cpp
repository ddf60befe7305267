// Placeholder until the pixel writers land.
#include "raster/pixel_writers.h"

SpanRoutine PixelWriterRoutine(PixelFormat, bool, std::int32_t*) { return nullptr; }
void WriteNoPixels() {}
