#include "raster/span_context.h"

#include <cstdint>

#include <gtest/gtest.h>

namespace {

bool Aligned16(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 16 == 0; }

// The span routines read every per-pixel array and interpolant with aligned four-lane loads.
TEST(SpanContext, ArraysAndInterpolantsAreAlignedForFourLaneLoads) {
    SpanContext& c = g_spanContext;
    const void* arrays[] = {c.wArray, c.fogArray, c.diffuseArray, c.specularArray,
                            c.texelArray, c.currentArray, c.constantArray};
    for (const void* a : arrays) EXPECT_TRUE(Aligned16(a));
    const void* groups[] = {c.rhwStart, c.rhwStep4, c.diffuseStart, c.diffuseStep4, c.texStart,
                            c.texStep4, c.flatColor, c.fogScale, c.sampling};
    for (const void* g : groups) EXPECT_TRUE(Aligned16(g));
}

}  // namespace
