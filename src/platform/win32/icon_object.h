// What an HICON points to in the Win32 backend (inside the Win32 backend only): Windows' icons
// at the sizes of a title bar and task bar (large) and of a caption and the tray (small).
#pragma once

#include "platform/win32/windows_api.h"

struct IconObject {
    Win32HICON large = nullptr;
    Win32HICON small = nullptr;
};
