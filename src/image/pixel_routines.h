#pragma once
// The per-format single-pixel routines and the two row-routine pairs that fill the routine table.
// None of them clips: callers reach them through Surface, which keeps every access inside.

#include <cstdint>

#include "image/surface.h"

#define FERROX_PIXEL_PAIR(NAME)                                                     \
    void put##NAME(const Surface& surface, int x, int y, std::uint32_t value);      \
    std::uint32_t get##NAME(const Surface& surface, int x, int y);

FERROX_PIXEL_PAIR(Nothing)
// 32- and 24-bit direct formats.
FERROX_PIXEL_PAIR(A8R8G8B8)
FERROX_PIXEL_PAIR(X8R8G8B8)
FERROX_PIXEL_PAIR(R8G8B8)
FERROX_PIXEL_PAIR(A8B8G8R8)
FERROX_PIXEL_PAIR(X8B8G8R8)
FERROX_PIXEL_PAIR(B8G8R8)
// 16-bit packed direct formats.
FERROX_PIXEL_PAIR(A4R4G4B4)
FERROX_PIXEL_PAIR(X4R4G4B4)
FERROX_PIXEL_PAIR(A1R5G5B5)
FERROX_PIXEL_PAIR(X1R5G5B5)
FERROX_PIXEL_PAIR(R5G6B5)
FERROX_PIXEL_PAIR(A4B4G4R4)
FERROX_PIXEL_PAIR(X4B4G4R4)
FERROX_PIXEL_PAIR(A1B5G5R5)
FERROX_PIXEL_PAIR(X1B5G5R5)
FERROX_PIXEL_PAIR(B5G6R5)
// Grey, palette and one-bit formats.
FERROX_PIXEL_PAIR(GRAYSCALE8)
FERROX_PIXEL_PAIR(PALETTE8)
FERROX_PIXEL_PAIR(PALETTE4)
FERROX_PIXEL_PAIR(MONOCHROME)
// Raw index formats.
FERROX_PIXEL_PAIR(INDEX32)
FERROX_PIXEL_PAIR(INDEX24)
FERROX_PIXEL_PAIR(INDEX16)
FERROX_PIXEL_PAIR(INDEX8)
FERROX_PIXEL_PAIR(INDEX4)

#undef FERROX_PIXEL_PAIR

// Index of the palette entry nearest to value (squared RGB distance, alpha ignored, ties to the lowest
// index) among the first candidateCount entries.
int nearestPaletteIndex(const Color32* palette, int candidateCount, Color32 value);

// Row routines: A8R8G8B8 copies words directly; every other format goes pixel by pixel.
void putSpanA8R8G8B8(const Surface& surface, const std::uint32_t* values, int x, int y, int count);
void getSpanSteppedA8R8G8B8(const Surface& surface, std::uint32_t* out, int u, int y, int count, int du);
void putSpanGeneric(const Surface& surface, const std::uint32_t* values, int x, int y, int count);
void getSpanSteppedGeneric(const Surface& surface, std::uint32_t* out, int u, int y, int count, int du);
