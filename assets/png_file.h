// PNG output for the desktop icons (the hicolor theme wants PNG), through Qt's image writer.
#pragma once

#include "image/image.h"

// Writes a 32-bit image with straight (not premultiplied) alpha; false when the image is not
// A8R8G8B8 or the file cannot be written.
bool SavePngFile(const char* path, const Image* image);
