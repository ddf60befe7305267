#pragma once
// Attribute fetch: one vertex of the bound streams into one lane of one batch corner.

#include <cstdint>

#include "render/vertex_batch.h"

class RenderDevice;

// Walks the first streamCount stream slots in order (a later stream overwrites what an earlier one
// stored). With one stream the device's vertex format describes the vertex, with several each
// stream's own format does. The vertex number is 64-bit so that index + base vertex does not
// wrap at 32 bits. Streams are raw pointers: the caller keeps every vertex it names inside them.
void FetchVertex(const RenderDevice& device, int streamCount, std::int64_t vertexNumber, VertexSlot& corner,
                 int lane);
