#pragma once
// The single directional light's lighting equation, run on a batch during triangle setup.

#include "render/vertex_batch.h"

class RenderDevice;

// Lights the diffuse colours of all twelve vertices when lighting is on and the device's vertex
// format has normals; the device's SSE-path flag chooses the form.
void LightBatch(const RenderDevice& device, VertexBatch& batch);
