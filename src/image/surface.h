#pragma once
// Surface: a short-lived accessor laid over pixels of one PixelFormat. Attaching picks four routines
// by format (put/get one pixel, put a row, read a stepped row), so callers work in Color32 and never
// look at a stored layout. A surface never owns its pixels or its image.

#include <cstddef>
#include <cstdint>

#include "image/image.h"

class Surface;

// The per-format routines. They do no clipping of their own: the Surface members below clip first.
using PutPixelRoutine = void (*)(const Surface& surface, int x, int y, std::uint32_t value);
using GetPixelRoutine = std::uint32_t (*)(const Surface& surface, int x, int y);
using PutSpanRoutine = void (*)(const Surface& surface, const std::uint32_t* values, int x, int y, int count);
// u and du are column positions in 20.12 fixed point.
using GetSpanSteppedRoutine = void (*)(const Surface& surface, std::uint32_t* out, int u, int y, int count,
                                       int du);

struct PixelRoutines {
    PutPixelRoutine putPixel;
    GetPixelRoutine getPixel;
    PutSpanRoutine putSpan;
    GetSpanSteppedRoutine getSpanStepped;
};

// The routine row of a format; values above 27 get the row of UNKNOWN.
const PixelRoutines& pixelRoutinesFor(PixelFormat format);

// Stepped reads only reach columns below 2^19, so that every 20.12 position fits in an int.
constexpr int kMaxSteppedColumns = 1 << 19;

class Surface {
public:
    Surface();
    virtual ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // Copies min(count, 256) palette entries and zero-fills the rest. Absent pixels or a side of 0
    // or less give an empty surface.
    void attach(std::uint8_t* pixels, int width, int height, PixelFormat format, int pitch,
                const Color32* palette, int count);
    void attachNoPalette(std::uint8_t* pixels, int width, int height, PixelFormat format, int pitch);
    // Takes the image's fields and whole palette; none behaves as detach.
    void attachImage(Image* image);
    void detach();

    // Single pixels; a position outside the surface writes nothing and reads 0.
    void putPixel(int x, int y, std::uint32_t value) const;
    std::uint32_t getPixel(int x, int y) const;

    // Writes count values along row y from column x, keeping only the part inside the surface.
    void putSpanClipped(const std::uint32_t* values, int x, int y, int count) const;
    // Fills count samples of row y at columns (u + i * du) >> 12; samples outside the surface are 0.
    void getSpanClipped(std::uint32_t* out, int u, int y, int count, int du) const;
    // Draws a line of at most 1000 steps in 16.16 fixed point; longer lines are not drawn.
    void drawLine(int x0, int y0, int x1, int y1, std::uint32_t value) const;

    Image* sourceImage() const { return m_sourceImage; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    PixelFormat format() const { return m_format; }
    int pitch() const { return m_pitch; }
    std::uint8_t* pixels() const { return m_pixels; }
    const Color32* palette() const { return m_palette; }
    std::uint8_t* rowAddress(int y) const { return m_pixels + static_cast<std::ptrdiff_t>(y) * m_pitch; }

private:
    void selectRoutines(PixelFormat format);
    bool contains(int x, int y) const {
        return static_cast<unsigned>(x) < static_cast<unsigned>(m_width) &&
               static_cast<unsigned>(y) < static_cast<unsigned>(m_height);
    }

    PutPixelRoutine m_putPixel;
    GetPixelRoutine m_getPixel;
    PutSpanRoutine m_putSpan;
    GetSpanSteppedRoutine m_getSpanStepped;
    Image* m_sourceImage = nullptr;
    int m_width = 0;
    int m_height = 0;
    PixelFormat m_format = UNKNOWN;
    int m_pitch = 0;
    std::uint8_t* m_pixels = nullptr;
    Color32 m_palette[256] = {};
};
