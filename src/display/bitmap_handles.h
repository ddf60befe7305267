// The frame buffer's bitmap: reading its record, its row pitch, making and deleting it.
#pragma once

#include "platform/gdi_bitmap.h"

// The bitmap's record; all zeros for a null or unknown handle.
BITMAP GetBitmapInfo(HBITMAP bitmap);

// Bytes per stored row: the byte width rounded up to 4 (0 without a bitmap).
int DibRowPitch(HBITMAP bitmap);

// A bottom-up DIB section of the given size and bit count (rows bottom first, all other
// header fields 0), or null, as for a zero or negative side.
HBITMAP CreateDib(int width, int height, int bitsPerPixel);

// Null when the handle was deleted; otherwise (null or unknown handle) the handle unchanged.
HBITMAP DeleteBitmapHandle(HBITMAP bitmap);
