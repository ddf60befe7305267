// The program's own resources (menus, icons, strings, bitmaps), which the program hands to the framework
// once at start-up, the way a Windows program carries them in its executable.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/window_defs.h"

struct MenuItemResource {
    const char* text;                         // null for a separator
    unsigned id;                              // command id; 0 for a separator or a popup
    std::span<const MenuItemResource> popup;  // the items of a popup; empty for a command
};

struct MenuResource {
    unsigned id;
    std::span<const MenuItemResource> items;  // a menu bar: normally popups only
};

struct StringResource {
    unsigned id;
    const char* text;
};

// Square or not, rows top first, each pixel 0xAARRGGBB.
struct IconResource {
    unsigned id;
    int width;
    int height;
    const std::uint32_t* pixels;
};

// A bitmap kept as the bytes of a whole BMP file.
struct BitmapResource {
    unsigned id;
    std::span<const std::uint8_t> file;
};

struct ResourceTable {
    std::span<const MenuResource> menus;
    std::span<const StringResource> strings;
    std::span<const IconResource> icons;
    std::span<const BitmapResource> bitmaps = {};
};

// Makes table the program's resources; it must outlive every use. Null removes them.
void AfxSetResourceTable(const ResourceTable* table);

// Null when the id is unknown.
const MenuResource* FindMenuResource(unsigned id);
const IconResource* FindIconResource(unsigned id);
const BitmapResource* FindBitmapResource(unsigned id);

// The string resource id; empty when it does not exist.
std::string LoadString(unsigned id);

// The icon resource id, made once and kept until the program ends; null when it does not exist
// or its pixel table is unusable.
HICON LoadIcon(unsigned id);
