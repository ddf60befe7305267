#pragma once
// Compiling one texture stage into the span context: its sampling block, fetch routine, colour
// operation and argument arrays.

#include "render/render_device.h"

// Whether a stage's level 0 can be sampled: 32-bit texels, and the power-of-two block that the
// fetch addresses as one packed W x H array lies inside the level.
bool LevelCanBeSampled(const TextureLevel& level);

// Fills g_spanContext's choices for stage s from the device's state.
void CompileTextureStage(RenderDevice& device, int stage);
