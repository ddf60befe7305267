// Memory device contexts and StretchBlt between contexts, with the Win32 names and numbers. A
// memory context draws into the DIB section selected into it; a window's paint context draws
// into the window. Bottom-up DIBs show their first stored row at the bottom, as in GDI.
#pragma once

#include "platform/gdi_bitmap.h"
#include "platform/paint_dc.h"

inline constexpr int BLACKONWHITE = 1;
inline constexpr int COLORONCOLOR = 3;  // nearest neighbour
inline constexpr int HALFTONE = 4;      // filtered
inline constexpr DWORD SRCCOPY = 0x00CC0020u;

// A new memory context (whatever dc is); free it with DeleteDC.
CDC* CreateCompatibleDC(CDC* dc);
// Frees a context made by CreateCompatibleDC; FALSE for null.
BOOL DeleteDC(CDC* dc);

// Selects bitmap into a memory context and returns the bitmap selected before (null at first).
HBITMAP SelectObject(CDC* dc, HBITMAP bitmap);

// Returns the previous mode, 0 for a null context or an unknown mode.
int SetStretchBltMode(CDC* dc, int mode);

// Copies the source rectangle of the bitmap selected into source onto the destination rectangle,
// scaled with the destination's stretch mode; colours are copied as opaque. The source rectangle
// is clipped to the bitmap (the destination rectangle shrinks in proportion). FALSE, drawing
// nothing, for null contexts, a source without a live 24 or 32-bit bitmap, a memory destination
// without one, a raster operation other than SRCCOPY, a non-positive size, or a source rectangle
// wholly outside the bitmap.
BOOL StretchBlt(CDC* destination, int x, int y, int width, int height, CDC* source, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight, DWORD rop);
