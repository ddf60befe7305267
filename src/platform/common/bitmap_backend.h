#pragma once
// Internal to the platform layer: the bitmaps and memory contexts both backends share
// (common/gdi_bitmap.cpp and common/memory_dc.cpp: the checks, the registry of live bitmaps, the
// clipping) and what each backend does itself (where the pixels live, how a copy is drawn).

#include "platform/gdi_bitmap.h"
#include "platform/memory_dc.h"

// True while bitmap was made by CreateDIBSection (or LoadImage) and not yet deleted.
bool IsLiveBitmap(HBITMAP bitmap);
// The bitmap selected into dc, if it is still alive.
BitmapObject* LiveSelection(const CDC* dc);

// Backend: a bitmap of header's size and bit count with rowBytes a stored row, zeroed pixels and
// its record filled; null when there is no memory for it.
BitmapObject* NewBitmapObject(const BITMAPINFOHEADER& header, LONG rowBytes);
void DeleteBitmapObject(BitmapObject* bitmap);
const BITMAP& BitmapRecord(const BitmapObject* bitmap);

// A StretchBlt whose arguments were checked: its source rectangle clipped to the bitmap (never
// empty), and where that lands in the destination, unrounded (the destination rectangle shrunk in
// proportion): its edges, and its size as the scale gives it.
struct StretchCopy {
    const BitmapObject* source;  // live, 24 or 32 bits per pixel
    int left, top, width, height;
    double targetLeft, targetTop, targetRight, targetBottom;
    double targetWidth, targetHeight;
};
// Backend: draws copy into destination, a window's paint context or a memory context (which
// must hold a live 32-bit bitmap); FALSE when it cannot.
BOOL DrawStretchCopy(CDC* destination, const StretchCopy& copy);
