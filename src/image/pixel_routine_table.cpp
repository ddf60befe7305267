// The routine table indexed by PixelFormat. It is built at compile time, so no first-use set-up or
// guard flag is needed.

#include "image/pixel_routines.h"

namespace {

#define FERROX_ROW(NAME) {put##NAME, get##NAME, putSpanGeneric, getSpanSteppedGeneric}

constexpr PixelRoutines kRoutines[kPixelFormatCount] = {
    FERROX_ROW(Nothing),  // UNKNOWN
    {putA8R8G8B8, getA8R8G8B8, putSpanA8R8G8B8, getSpanSteppedA8R8G8B8},
    FERROX_ROW(X8R8G8B8),
    FERROX_ROW(R8G8B8),
    FERROX_ROW(A4R4G4B4),
    FERROX_ROW(X4R4G4B4),
    FERROX_ROW(A1R5G5B5),
    FERROX_ROW(X1R5G5B5),
    FERROX_ROW(R5G6B5),
    FERROX_ROW(A8B8G8R8),
    FERROX_ROW(X8B8G8R8),
    FERROX_ROW(B8G8R8),
    FERROX_ROW(A4B4G4R4),
    FERROX_ROW(X4B4G4R4),
    FERROX_ROW(A1B5G5R5),
    FERROX_ROW(X1B5G5R5),
    FERROX_ROW(B5G6R5),
    FERROX_ROW(Nothing),  // 17, unassigned
    FERROX_ROW(GRAYSCALE8),
    FERROX_ROW(PALETTE8),
    FERROX_ROW(PALETTE4),
    FERROX_ROW(MONOCHROME),
    FERROX_ROW(INDEX32),
    FERROX_ROW(INDEX24),
    FERROX_ROW(INDEX16),
    FERROX_ROW(INDEX8),
    FERROX_ROW(INDEX4),
    FERROX_ROW(Nothing),  // ZBUFFER32: the depth buffer is written by the rasterizer alone
};

#undef FERROX_ROW

}  // namespace

const PixelRoutines& pixelRoutinesFor(PixelFormat format) {
    return kRoutines[format < kPixelFormatCount ? format : UNKNOWN];
}
