// The edge overlay: white lines along the three edges of every lane, over the fill.
#include <algorithm>
#include <climits>
#include <cmath>
#include <emmintrin.h>

#include "image/surface.h"
#include "raster/scan_convert.h"
#include "render/render_device.h"

namespace {

constexpr std::uint32_t kEdgeColor = 0x00FFFFFF;

// Positions beyond 2^30 pixels are all far outside any surface (and make lines longer than the line
// drawer draws), so limiting them first keeps the truncation in int range without changing a pixel.
constexpr float kFarPosition = 1073741824.0f;

int Truncate(float v) {
    const float limited = v < -kFarPosition ? -kFarPosition : (v > kFarPosition ? kFarPosition : v);
    return _mm_cvttss_si32(_mm_set_ss(limited));
}

int SideLength(std::uint32_t side) { return static_cast<int>(std::min<std::uint32_t>(side, INT_MAX)); }

}  // namespace

void EdgeOverlay(RenderDevice& device, const VertexBatch& batch) {
    const BufferDesc& target = device.renderTarget;
    Surface surface;
    surface.attachNoPalette(target.bits, SideLength(target.width), SideLength(target.height), target.format,
                            target.pitch);
    for (int lane = 0; lane < kBatchLanes; ++lane) {
        bool finite = true;
        for (const VertexSlot& corner : batch.corner)
            finite = finite && std::isfinite(corner.sx.lane[lane]) && std::isfinite(corner.sy.lane[lane]);
        if (!finite) continue;  // a corner without a position has no edges to show
        int x[3], y[3];
        for (int k = 0; k < 3; ++k) {
            x[k] = Truncate(batch.corner[k].sx.lane[lane]);
            y[k] = Truncate(batch.corner[k].sy.lane[lane]);
        }
        surface.drawLine(x[0], y[0], x[1], y[1], kEdgeColor);
        surface.drawLine(x[1], y[1], x[2], y[2], kEdgeColor);
        surface.drawLine(x[2], y[2], x[0], y[0], kEdgeColor);
    }
    surface.detach();
}
