// GDI bitmaps over plain memory: DIB sections, their BITMAP records and their deletion, with the
// Win32 names and numbers. Handles are checked against the live bitmaps, so a stale or foreign
// handle is refused instead of being read.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

class CDC;
struct BitmapObject;
using HBITMAP = BitmapObject*;

struct BITMAP {
    LONG bmType;        // 0
    LONG bmWidth;
    LONG bmHeight;      // positive
    LONG bmWidthBytes;  // bytes per stored row, a multiple of 4
    WORD bmPlanes;      // 1
    WORD bmBitsPixel;
    LPVOID bmBits;      // first stored row (the bottom row of a bottom-up DIB)
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // positive: rows stored bottom row first
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

inline constexpr DWORD BI_RGB = 0;
inline constexpr UINT DIB_RGB_COLORS = 0;

// The largest side a DIB section may have here; far above any window or picture of Ferrox.
inline constexpr LONG kMaxDibSide = 16384;

// A DIB section of 24 or 32 bits per pixel, BI_RGB, stored bottom-up (positive biHeight), with
// zeroed pixels. Null (and *bits null) for anything else: no header, a non-positive size, a
// top-down or compressed layout, another bit count, a file mapping, or no memory. The device
// context and the usage are accepted for the Win32 form and not needed.
HBITMAP CreateDIBSection(CDC* dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);

// Fills a BITMAP record for a live bitmap; returns the bytes written, 0 for an unknown handle, a
// null buffer or one smaller than a BITMAP.
int GetObject(HBITMAP bitmap, int bufferSize, void* buffer);

// Frees a live bitmap; FALSE for null or an unknown handle (which is left alone).
BOOL DeleteObject(HBITMAP bitmap);
