#pragma once
// Uncompressed Windows bitmap files (BMP) read into and written from Image records, plus the
// load-by-name entry that picks the reader by extension.
//
// Rows keep file order: image row 0 is the first stored row, which in an ordinary bottom-up
// file is the bottom row of the picture. The writer emits the image's last row first, so a
// write followed by a read gives the rows back in reverse order.

#include <cstdio>

#include "image/image.h"

// The only read mode there is.
constexpr int kBmpReadMode = 1;

// Opens the named file and reads it when its extension is ".bmp" (any case). A ".tga" name, any
// other extension, a name without a dot, or a file that cannot be opened gives null.
Image* loadImageFile(const char* fileName);

// Reads one bitmap starting at the file's current position (all offsets in the file are relative
// to it). The information header may be Windows' (40 bytes, or a longer V4 or V5 one) or OS/2 2.x's
// (16 to 64 bytes; fields a short one leaves out count as zero). Null for a null file, a mode other
// than kBmpReadMode, an OS/2 1.x file (12-byte header) or any header under 16 bytes, or a file that
// is not an uncompressed bitmap of sane size. Rows missing from a short file come back zeroed.
Image* readBmp(std::FILE* file, int mode);

// Creates (or truncates) the named file and writes the image into it. The third argument is
// not used.
bool saveBmpFile(const char* fileName, const Image* image, int unused);

// Writes the image as a bitmap starting at the file's current position and leaves the position
// at the end of what it wrote. False for a null file or image, an image that cannot be stored
// (no pixels, no bit count, empty, rows shorter than their pixels) or any failed write.
bool writeBmp(std::FILE* file, const Image* image);
