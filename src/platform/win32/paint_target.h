// What a CDC paints into in the Win32 backend (inside the Win32 backend only): the device context
// of one WM_PAINT or WM_ERASEBKGND.
#pragma once

#include "platform/win32/windows_api.h"

struct PaintTarget {
    HDC hdc;
};
