#pragma once
// Compiling one texture stage into the span context: its sampling block, fetch routine, colour
// operation and argument arrays.

#include "render/render_device.h"

// Fills g_spanContext's choices for stage s from the device's state. The stage's sampling block
// keeps a level-0 pointer only when that level can be sampled (32-bit texels, rows long enough for
// the power-of-two block the fetch addresses); otherwise the block is zero.
void CompileTextureStage(RenderDevice& device, int stage);
