#include "image/blit.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/color_math.h"
#include "image/surface.h"

namespace {

Color32 g_sourceBlitPalette[256];
Color32 g_destinationBlitPalette[256];

int copyIntoPalette(Color32* palette, const Color32* entries, int count) {
    const int copied = entries != nullptr ? std::clamp(count, 0, 256) : 0;
    if (copied > 0) {
        std::memcpy(palette, entries, static_cast<std::size_t>(copied) * sizeof(Color32));
    }
    return copied;
}

// A row of Color32: storage of its own up to 2048 entries, so ordinary widths allocate nothing.
class RowBuffer {
public:
    explicit RowBuffer(long long count)
        : m_data(count <= kInlineCount ? m_inline
                                       : static_cast<Color32*>(std::malloc(static_cast<std::size_t>(count) * 4))) {}
    ~RowBuffer() {
        if (m_data != m_inline) {
            std::free(m_data);
        }
    }
    RowBuffer(const RowBuffer&) = delete;
    RowBuffer& operator=(const RowBuffer&) = delete;
    Color32* data() const { return m_data; }

private:
    static constexpr long long kInlineCount = 2048;
    Color32 m_inline[kInlineCount];
    Color32* m_data;
};

bool withinFixedPointRange(long long value) { return value > -kMaxBlitCoordinate && value < kMaxBlitCoordinate; }

bool rectangleInRange(int x, int y, int w, int h) {
    return withinFixedPointRange(x) && withinFixedPointRange(y) && withinFixedPointRange(w) &&
           withinFixedPointRange(h) && withinFixedPointRange(static_cast<long long>(x) + w) &&
           withinFixedPointRange(static_cast<long long>(y) + h);
}

// One copy, already validated: the destination rows and columns that fall inside the destination,
// each sampled from the source at its 20.12 position.
struct CopyPlan {
    long long firstRow, endRow;        // destination rows relative to destinationY
    long long firstColumn, endColumn;  // destination columns relative to destinationX
    long long du, dv;
};

bool planCopy(int destinationX, int destinationY, int destinationW, int destinationH, int destinationWidth,
              int destinationHeight, int sourceW, int sourceH, CopyPlan& plan) {
    plan.du = (static_cast<long long>(sourceW) << 12) / destinationW;
    plan.dv = (static_cast<long long>(sourceH) << 12) / destinationH;
    plan.firstRow = std::max<long long>(0, -static_cast<long long>(destinationY));
    plan.endRow = std::min<long long>(destinationH, static_cast<long long>(destinationHeight) - destinationY);
    plan.firstColumn = std::max<long long>(0, -static_cast<long long>(destinationX));
    plan.endColumn = std::min<long long>(destinationW, static_cast<long long>(destinationWidth) - destinationX);
    return plan.firstRow < plan.endRow && plan.firstColumn < plan.endColumn;
}

bool rangesOverlap(const std::uint8_t* a, std::size_t aBytes, const std::uint8_t* b, std::size_t bBytes) {
    const auto aStart = reinterpret_cast<std::uintptr_t>(a);
    const auto bStart = reinterpret_cast<std::uintptr_t>(b);
    return aStart < bStart + bBytes && bStart < aStart + aBytes;
}

// An A8R8G8B8 destination stores Color32 words as they are, so the samples of a plain copy can land
// in its row directly instead of passing through the row buffer. Not when the destination run is
// misaligned for words or might overlap the source row being read.
Color32* directDestination(const Surface& destination, int x, int y, int count, const Surface& source, int sourceRow) {
    if (destination.format() != A8R8G8B8) {
        return nullptr;
    }
    std::uint8_t* run = destination.rowAddress(y) + static_cast<std::ptrdiff_t>(x) * 4;
    if (reinterpret_cast<std::uintptr_t>(run) % alignof(Color32) != 0) {
        return nullptr;
    }
    if (static_cast<unsigned>(sourceRow) < static_cast<unsigned>(source.height()) &&
        rangesOverlap(run, static_cast<std::size_t>(count) * 4, source.rowAddress(sourceRow),
                      static_cast<std::size_t>(source.width()) * 4)) {
        return nullptr;
    }
    return reinterpret_cast<Color32*>(run);
}

template <bool kBlend>
void copyRectangle(std::uint8_t* destinationPixels, int destinationX, int destinationY, int destinationW,
                   int destinationH, int destinationWidth, int destinationHeight, PixelFormat destinationFormat,
                   int destinationPitch, const std::uint8_t* sourcePixels, int sourceX, int sourceY, int sourceW,
                   int sourceH, int sourceWidth, int sourceHeight, PixelFormat sourceFormat, int sourcePitch) {
    if (destinationPixels == nullptr || sourcePixels == nullptr || destinationW < 1 || destinationH < 1) {
        return;
    }
    // Positions beyond 2^19 would overflow the 20.12 steps: refuse rather than wrap.
    if (!rectangleInRange(destinationX, destinationY, destinationW, destinationH) ||
        !rectangleInRange(sourceX, sourceY, sourceW, sourceH)) {
        return;
    }
    CopyPlan plan;
    if (!planCopy(destinationX, destinationY, destinationW, destinationH, destinationWidth, destinationHeight,
                  sourceW, sourceH, plan)) {
        return;
    }
    const long long count = plan.endColumn - plan.firstColumn;
    RowBuffer samples(count);
    RowBuffer below(kBlend ? count : 0);
    if (samples.data() == nullptr || below.data() == nullptr) {
        return;  // allocation failed: nothing written
    }
    Surface destination;
    Surface source;
    destination.attach(destinationPixels, destinationWidth, destinationHeight, destinationFormat, destinationPitch,
                       g_destinationBlitPalette, 256);
    // The source surface is only ever read.
    source.attach(const_cast<std::uint8_t*>(sourcePixels), sourceWidth, sourceHeight, sourceFormat, sourcePitch,
                  g_sourceBlitPalette, 256);

    // Every value here stays below 2^31 in magnitude: the ranges were checked above.
    const int u = static_cast<int>((static_cast<long long>(sourceX) << 12) + plan.firstColumn * plan.du);
    const int x = static_cast<int>(destinationX + plan.firstColumn);
    const int n = static_cast<int>(count);
    const int du = static_cast<int>(plan.du);
    long long v = (static_cast<long long>(sourceY) << 12) + plan.firstRow * plan.dv;
    for (long long row = plan.firstRow; row < plan.endRow; ++row, v += plan.dv) {
        const int y = static_cast<int>(destinationY + row);
        const int sourceRow = static_cast<int>(v >> 12);
        if constexpr (!kBlend) {
            if (Color32* direct = directDestination(destination, x, y, n, source, sourceRow)) {
                source.getSpanClipped(direct, u, sourceRow, n, du);
                continue;
            }
        }
        source.getSpanClipped(samples.data(), u, sourceRow, n, du);
        if constexpr (kBlend) {
            Color32* d = below.data();
            const Color32* s = samples.data();
            destination.getSpanClipped(d, x << 12, y, n, 4096);
            for (int i = 0; i < n; ++i) {
                d[i] = lerpColor(d[i], s[i], static_cast<int>(s[i] >> 24));
            }
            destination.putSpanClipped(d, x, y, n);
        } else {
            destination.putSpanClipped(samples.data(), x, y, n);
        }
    }
}

}  // namespace

void stretchBlit(std::uint8_t* destinationPixels, int destinationX, int destinationY, int destinationW,
                 int destinationH, int destinationWidth, int destinationHeight, PixelFormat destinationFormat,
                 int destinationPitch, const std::uint8_t* sourcePixels, int sourceX, int sourceY, int sourceW,
                 int sourceH, int sourceWidth, int sourceHeight, PixelFormat sourceFormat, int sourcePitch) {
    copyRectangle<false>(destinationPixels, destinationX, destinationY, destinationW, destinationH, destinationWidth,
                         destinationHeight, destinationFormat, destinationPitch, sourcePixels, sourceX, sourceY,
                         sourceW, sourceH, sourceWidth, sourceHeight, sourceFormat, sourcePitch);
}

void stretchBlitBlend(std::uint8_t* destinationPixels, int destinationX, int destinationY, int destinationW,
                      int destinationH, int destinationWidth, int destinationHeight, PixelFormat destinationFormat,
                      int destinationPitch, const std::uint8_t* sourcePixels, int sourceX, int sourceY, int sourceW,
                      int sourceH, int sourceWidth, int sourceHeight, PixelFormat sourceFormat, int sourcePitch) {
    copyRectangle<true>(destinationPixels, destinationX, destinationY, destinationW, destinationH, destinationWidth,
                        destinationHeight, destinationFormat, destinationPitch, sourcePixels, sourceX, sourceY,
                        sourceW, sourceH, sourceWidth, sourceHeight, sourceFormat, sourcePitch);
}

namespace {

using CopyRoutine = decltype(&stretchBlit);

// The image forms: both images' palettes become the blit palettes, then the copy runs on their fields.
void copyImage(CopyRoutine copy, Image* destination, int destinationX, int destinationY, int destinationW,
               int destinationH, const Image* source, int sourceX, int sourceY, int sourceW, int sourceH) {
    if (destination == nullptr || source == nullptr) {
        return;
    }
    setBlitDestinationPalette(destination->palette, 256);
    setBlitSourcePalette(source->palette, 256);
    copy(destination->pixels, destinationX, destinationY, destinationW, destinationH, destination->width,
         destination->height, destination->format, destination->pitch, source->pixels, sourceX, sourceY, sourceW,
         sourceH, source->width, source->height, source->format, source->pitch);
}

void copyImageWhole(CopyRoutine copy, Image* destination, const Image* source) {
    if (destination != nullptr && source != nullptr) {
        copyImage(copy, destination, 0, 0, destination->width, destination->height, source, 0, 0, source->width,
                  source->height);
    }
}

}  // namespace

void blitImage(Image* destination, int destinationX, int destinationY, int destinationW, int destinationH,
               const Image* source, int sourceX, int sourceY, int sourceW, int sourceH) {
    copyImage(stretchBlit, destination, destinationX, destinationY, destinationW, destinationH, source, sourceX,
              sourceY, sourceW, sourceH);
}

void blitImageWhole(Image* destination, const Image* source) { copyImageWhole(stretchBlit, destination, source); }

void blendImage(Image* destination, int destinationX, int destinationY, int destinationW, int destinationH,
                const Image* source, int sourceX, int sourceY, int sourceW, int sourceH) {
    copyImage(stretchBlitBlend, destination, destinationX, destinationY, destinationW, destinationH, source,
              sourceX, sourceY, sourceW, sourceH);
}

void blendImageWhole(Image* destination, const Image* source) {
    copyImageWhole(stretchBlitBlend, destination, source);
}

int setBlitSourcePalette(const Color32* entries, int count) {
    return copyIntoPalette(g_sourceBlitPalette, entries, count);
}

int setBlitDestinationPalette(const Color32* entries, int count) {
    return copyIntoPalette(g_destinationBlitPalette, entries, count);
}
