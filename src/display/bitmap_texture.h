// Bitmap resources into textures.
#pragma once

#include "platform/bitmap_resource.h"

class Texture;

// A new one-level A8R8G8B8 texture with the bitmap's pixels, texture row 0 holding the bitmap's
// bottom row (the order the DIB stores them in); null when the resource is missing or unreadable
// or the texture cannot be made. The caller owns the texture.
Texture* LoadBitmapTexture(HINSTANCE instance, unsigned id);
