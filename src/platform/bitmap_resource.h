// Loading the program's bitmap resources as DIB sections (Win32 LoadImage with IMAGE_BITMAP).
#pragma once

#include <cstdint>
#include <span>

#include "platform/gdi_bitmap.h"

struct ModuleObject;
using HINSTANCE = ModuleObject*;

inline constexpr UINT IMAGE_BITMAP = 0;
inline constexpr UINT LR_CREATEDIBSECTION = 0x2000;

// The program's own module, whose resources are the table given to AfxSetResourceTable.
HINSTANCE AfxGetResourceHandle();

// The bitmap resource id of the program's own module as a new bottom-up DIB section of the
// file's size and bit count. Null for another module (null included), another image type, a
// requested size other than 0 x 0, a missing resource or one that DibFromBmpFile refuses.
HBITMAP LoadImage(HINSTANCE instance, unsigned id, UINT type, int width, int height, UINT flags);

// A DIB section holding the picture of a whole BMP file (file header, information header of at
// least 40 bytes, uncompressed 24 or 32 bits per pixel, bottom-up or top-down rows). Every
// header field is checked against the bytes there are: a short, damaged or unsupported file gives
// null, never a read past its end.
HBITMAP DibFromBmpFile(std::span<const std::uint8_t> file);
