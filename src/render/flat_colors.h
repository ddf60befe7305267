#pragma once
// Flat-shading colours: corner 0's diffuse colour of each lane, packed before lighting.

#include "image/pixel_format.h"
#include "render/vertex_batch.h"

// Each of A, R, G, B is truncated toward zero and kept to its low 8 bits, then packed as
// A << 24 | R << 16 | G << 8 | B. A channel that is not finite or out of int range packs as 0.
// Both forms give the same words.
void PackFlatColorsScalar(const VertexBatch& batch, Color32 colors[kBatchLanes]);
void PackFlatColorsSse(const VertexBatch& batch, Color32 colors[kBatchLanes]);
