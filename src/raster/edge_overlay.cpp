// The edge overlay: white lines along the three edges of every lane, over the fill.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <emmintrin.h>

#include "image/pixel_format.h"
#include "image/surface.h"
#include "raster/span_context.h"
#include "raster/scan_convert.h"

namespace {

constexpr std::uint32_t kEdgeColor = 0x00FFFFFF;

// Positions beyond 2^30 pixels are all far outside any surface (and make lines longer than the line
// drawer draws), so limiting them keeps every coordinate in int range without changing a pixel.
constexpr float kFarPosition = 1073741824.0f;
constexpr std::int64_t kFarCoordinate = std::int64_t{1} << 30;

// The truncated position counted from the clip rectangle's corner at origin.
int SurfaceCoordinate(float v, std::int32_t origin) {
    const float limited = v < -kFarPosition ? -kFarPosition : (v > kFarPosition ? kFarPosition : v);
    const std::int64_t shifted = std::int64_t{_mm_cvttss_si32(_mm_set_ss(limited))} - origin;
    return static_cast<int>(std::clamp(shifted, -kFarCoordinate, kFarCoordinate));
}

}  // namespace

// The lines are drawn on a surface laid over the draw's clip rectangle alone, so that like every
// span they never touch a pixel outside it. The rectangle is the one compiled for this device; a
// device whose state is not the compiled one draws no lines, as it draws no spans.
void EdgeOverlay(RenderDevice& device, const VertexBatch& batch) {
    const SpanContext& c = g_spanContext;
    const BufferDesc& target = c.target;
    const std::ptrdiff_t bytesPerPixel = bitsPerPixel(target.format) / 8;
    if (c.compiledFor != &device || target.bits == nullptr || bytesPerPixel == 0 || c.clipLeft >= c.clipRight ||
        c.clipTop >= c.clipBottom)
        return;
    Surface surface;
    surface.attachNoPalette(target.bits + static_cast<std::ptrdiff_t>(c.clipTop) * target.pitch + c.clipLeft * bytesPerPixel,
                            c.clipRight - c.clipLeft, c.clipBottom - c.clipTop, target.format, target.pitch);
    for (int lane = 0; lane < kBatchLanes; ++lane) {
        bool finite = true;
        for (const VertexSlot& corner : batch.corner)
            finite = finite && std::isfinite(corner.sx.lane[lane]) && std::isfinite(corner.sy.lane[lane]);
        if (!finite) continue;  // a corner without a position has no edges to show
        int x[3], y[3];
        for (int k = 0; k < 3; ++k) {
            x[k] = SurfaceCoordinate(batch.corner[k].sx.lane[lane], c.clipLeft);
            y[k] = SurfaceCoordinate(batch.corner[k].sy.lane[lane], c.clipTop);
        }
        surface.drawLine(x[0], y[0], x[1], y[1], kEdgeColor);
        surface.drawLine(x[1], y[1], x[2], y[2], kEdgeColor);
        surface.drawLine(x[2], y[2], x[0], y[0], kEdgeColor);
    }
    surface.detach();
}
