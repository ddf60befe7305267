// Copying a bitmap onto a device context, nearest neighbour (COLORONCOLOR).
#pragma once

#include "platform/gdi_bitmap.h"

class CDC;

// A destination or source size of 0 means the source's size (the source's, the bitmap's).
// Nonzero when the copy was made.
int StretchBitmap(CDC* destination, int x, int y, int width, int height, HBITMAP bitmap, int sourceX,
                  int sourceY, int sourceWidth, int sourceHeight);
