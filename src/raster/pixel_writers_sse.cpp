// The pixel writers with SSE2: the depth test, the alpha test and the conversion four pixels at a
// time over the span's whole groups of four, then pixel by pixel for the last one to three, so no
// access leaves the span. A group's failing pixels are written back with the values they had.
// Same results as the plain form (pixel_writers_scalar.cpp).

#include <immintrin.h>

#include "raster/pixel_writer_forms.h"

namespace {

using Convert4 = __m128i (*)(__m128i colors);  // four colours to four pixels in 32-bit lanes

__m128i Select(__m128i mask, __m128i ifSet, __m128i ifClear) {
    return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}

__m128i Field(__m128i c, int shift, int mask) {
    return _mm_and_si128(_mm_srli_epi32(c, shift), _mm_set1_epi32(mask));
}

__m128i ToA8R8G8B8x4(__m128i c) { return c; }
__m128i ToX8R8G8B8x4(__m128i c) { return _mm_and_si128(c, _mm_set1_epi32(0x00FFFFFF)); }
__m128i ToA4R4G4B4x4(__m128i c) {
    return _mm_or_si128(_mm_or_si128(Field(c, 16, 0xF000), Field(c, 12, 0x0F00)),
                        _mm_or_si128(Field(c, 8, 0x00F0), Field(c, 4, 0x000F)));
}
__m128i ToX4R4G4B4x4(__m128i c) { return _mm_and_si128(ToA4R4G4B4x4(c), _mm_set1_epi32(0x0FFF)); }
__m128i ToA1R5G5B5x4(__m128i c) {
    return _mm_or_si128(_mm_or_si128(Field(c, 16, 0x8000), Field(c, 9, 0x7C00)),
                        _mm_or_si128(Field(c, 6, 0x03E0), Field(c, 3, 0x001F)));
}
__m128i ToX1R5G5B5x4(__m128i c) { return _mm_and_si128(ToA1R5G5B5x4(c), _mm_set1_epi32(0x7FFF)); }
__m128i ToR5G6B5x4(__m128i c) {
    return _mm_or_si128(_mm_or_si128(Field(c, 8, 0xF800), Field(c, 5, 0x07E0)),
                        Field(c, 3, 0x001F));
}

// Four 32-bit lanes holding 16-bit values to four 16-bit values in the low half. The values are
// sign-extended first so that the signed pack keeps their bits.
__m128i PackLow16(__m128i v) {
    const __m128i extended = _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
    return _mm_packs_epi32(extended, extended);
}

template <typename Pixel, Pixel (*Convert)(Color32), Convert4 ConvertGroup, bool AlphaTested>
void WriteSpan() {
    const SpanContext& c = g_spanContext;
    const std::uint32_t alphaThreshold = AlphaThreshold(c, AlphaTested);
    const __m128i threshold = _mm_set1_epi32(static_cast<int>(alphaThreshold));
    int i = c.spanStart - c.spanEnd;
    for (; i <= -4; i += 4) {
        const __m128i w = _mm_castps_si128(_mm_loadu_ps(c.wEnd + i));
        const __m128i colors = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.currentEnd + i));
        __m128i* depth = reinterpret_cast<__m128i*>(c.depthEnd + std::ptrdiff_t{i} * 4);
        const __m128i stored = _mm_loadu_si128(depth);
        __m128i pass = _mm_cmpeq_epi32(_mm_cmpgt_epi32(w, stored), _mm_setzero_si128());
        if constexpr (AlphaTested) {
            const __m128i alpha = _mm_srli_epi32(colors, 24);
            pass = _mm_andnot_si128(_mm_cmpgt_epi32(threshold, alpha), pass);
        }
        _mm_storeu_si128(depth, Select(pass, w, stored));
        std::uint8_t* target =
            c.colorEnd + std::ptrdiff_t{i} * static_cast<std::ptrdiff_t>(sizeof(Pixel));
        if constexpr (sizeof(Pixel) == 4) {
            __m128i* pixels = reinterpret_cast<__m128i*>(target);
            _mm_storeu_si128(pixels, Select(pass, ConvertGroup(colors), _mm_loadu_si128(pixels)));
        } else {
            __m128i* pixels = reinterpret_cast<__m128i*>(target);
            const __m128i merged =
                Select(PackLow16(pass), PackLow16(ConvertGroup(colors)), _mm_loadl_epi64(pixels));
            _mm_storel_epi64(pixels, merged);
        }
    }
    for (; i < 0; ++i) WritePixelIfVisible<Pixel, Convert>(c, i, alphaThreshold);
}

}  // namespace

const SpanRoutine kSsePixelWriters[kWriterFormatCount] = {
    nullptr,                                                    // UNKNOWN
    WriteSpan<std::uint32_t, ToA8R8G8B8, ToA8R8G8B8x4, false>,  // A8R8G8B8
    WriteSpan<std::uint32_t, ToX8R8G8B8, ToX8R8G8B8x4, true>,   // X8R8G8B8
    nullptr,                                                    // R8G8B8
    WriteSpan<std::uint16_t, ToA4R4G4B4, ToA4R4G4B4x4, false>,  // A4R4G4B4
    WriteSpan<std::uint16_t, ToX4R4G4B4, ToX4R4G4B4x4, false>,  // X4R4G4B4
    WriteSpan<std::uint16_t, ToA1R5G5B5, ToA1R5G5B5x4, false>,  // A1R5G5B5
    WriteSpan<std::uint16_t, ToX1R5G5B5, ToX1R5G5B5x4, false>,  // X1R5G5B5
    WriteSpan<std::uint16_t, ToR5G6B5, ToR5G6B5x4, false>,      // R5G6B5
};
