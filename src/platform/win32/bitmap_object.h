// What an HBITMAP points to in the Win32 backend (inside the Win32 backend only): a GDI DIB
// section, whose pixels Ferrox reads and writes directly.
#pragma once

#include "platform/win32/windows_api.h"

#include "platform/common/bitmap_backend.h"

struct BitmapObject {
    BITMAP info{};
    Win32HBITMAP section = nullptr;
};
