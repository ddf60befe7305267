#pragma once
// Primitive assembly: a request's primitives as triangles, four to a batch.

#include <cstdint>

#include "image/pixel_format.h"
#include "render/vertex_batch.h"

class RenderDevice;

struct AssemblyRule {
    std::uint32_t step;                   // elements the running position advances per triangle
    std::uint32_t trianglesPerPrimitive;  // 2 for quads
    bool exchangeOdd;                     // strips: odd triangles exchange corners 1 and 2 to keep their winding
    bool fixedFirst;                      // fans: corner 0 is always the fan's first vertex
    bool quadPattern;                     // quad lists: an odd triangle is (q0, q2, q3) of its quad
};

// The rule of a triangle-based primitive type; false for points, lines and numbers without a
// triangle assembly, which are not drawn.
bool AssemblyRuleFor(std::uint32_t type, AssemblyRule* rule);

// Where vertex numbers come from: element e is index[e] + baseVertex with 16- or 32-bit index data,
// else baseVertex + e.
struct ElementSource {
    const void* indexData;  // read only when indexFormat is INDEX16 or INDEX32
    PixelFormat indexFormat;
    std::int64_t baseVertex;

    bool Indexed() const { return indexFormat == INDEX16 || indexFormat == INDEX32; }
    std::int64_t VertexNumber(std::uint64_t element) const;
};

// Builds triangleCount triangles from element startIndex on, fetches their corners from the first
// streamCount streams into the batch and hands every full batch to device.ProcessBatch. A last
// partial batch gets its unused lanes' positions set to the origin (degenerate triangles) and is
// processed too.
void AssemblePrimitives(RenderDevice& device, const AssemblyRule& rule, const ElementSource& elements,
                        std::uint64_t startIndex, std::uint64_t triangleCount, int streamCount, VertexBatch& batch);
