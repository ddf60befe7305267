// Placeholder until lighting lands.
#include "render/lighting.h"

void LightBatch(const RenderDevice&, VertexBatch&) {}
