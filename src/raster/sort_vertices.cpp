// SortBatchVertices: three compare-and-exchange steps per lane put the top corner in slot 0 and the
// bottom one in slot 2, as the gradient setup and the edge walk expect.
#include <utility>

#include <initializer_list>

#include "raster/triangle_setup.h"

void SwapLaneVertices(VertexBatch& batch, int slotA, int slotB, int lane) {
    VertexSlot& a = batch.corner[slotA];
    VertexSlot& b = batch.corner[slotB];
    const auto swapGroup = [&](Lanes VertexSlot::*group) { std::swap((a.*group).lane[lane], (b.*group).lane[lane]); };
    for (Lanes VertexSlot::*group : {&VertexSlot::sx, &VertexSlot::sy, &VertexSlot::rhw, &VertexSlot::nx,
                                     &VertexSlot::ny, &VertexSlot::nz})
        swapGroup(group);
    for (int channel = 0; channel < 4; ++channel) std::swap(a.diffuse[channel].lane[lane], b.diffuse[channel].lane[lane]);
    for (int set = 0; set < kTextureSets; ++set)
        for (int coordinate = 0; coordinate < 2; ++coordinate)
            std::swap(a.tex[set][coordinate].lane[lane], b.tex[set][coordinate].lane[lane]);
}

void SortBatchVertices(VertexBatch& batch) {
    // Only a strictly greater sy exchanges, so corners on one line keep their order. The compare
    // is on the floats themselves, which orders negative values too (the lanes are finite here).
    const auto order = [&](int upper, int lower, int lane) {
        if (batch.corner[upper].sy.lane[lane] > batch.corner[lower].sy.lane[lane])
            SwapLaneVertices(batch, upper, lower, lane);
    };
    for (int lane = 0; lane < kBatchLanes; ++lane) {
        order(0, 2, lane);
        order(0, 1, lane);
        order(1, 2, lane);
    }
}
