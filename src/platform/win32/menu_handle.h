// The Win32 side of CMenu (inside the Win32 backend only).
#pragma once

#include "platform/win32/windows_api.h"

#include <span>

#include "platform/resources.h"

// A menu bar or a popup.
struct MenuHandle {
    HMENU menu = nullptr;
};

// A new menu bar (popup false) or popup menu holding items, popups built recursively; null on
// failure. Each command item carries its id.
HMENU BuildMenu(std::span<const MenuItemResource> items, bool popup);
