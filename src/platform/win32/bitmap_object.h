// What an HBITMAP points to in the Win32 backend (inside the Win32 backend only): a GDI DIB
// section, whose pixels Ferrox reads and writes directly, and the registry of live ones.
#pragma once

#include "platform/win32/windows_api.h"

#include "platform/gdi_bitmap.h"

struct BitmapObject {
    BITMAP info{};
    Win32HBITMAP section = nullptr;
};

// True while bitmap was made by CreateDIBSection (or LoadImage) and not yet deleted.
bool IsLiveBitmap(HBITMAP bitmap);
