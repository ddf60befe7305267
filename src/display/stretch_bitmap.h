// Copying a bitmap onto a device context, nearest neighbour (COLORONCOLOR).
#pragma once

#include "platform/gdi_bitmap.h"

class CDC;

// A source width or height of 0 means the bitmap's; a destination width or height of 0 means the
// source's. Nonzero when the copy was made.
int StretchBitmap(CDC* destination, int x, int y, int width, int height, HBITMAP bitmap, int sourceX,
                  int sourceY, int sourceWidth, int sourceHeight);
