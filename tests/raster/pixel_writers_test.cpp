#include "raster/pixel_writers.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "raster/span_context.h"

namespace {

constexpr PixelFormat kWriterFormats[] = {A8R8G8B8, X8R8G8B8, A4R4G4B4, X4R4G4B4,
                                          A1R5G5B5, X1R5G5B5, R5G6B5};
constexpr std::uint32_t kColorSentinel = 0xC3C3C3C3;
constexpr std::int32_t kDepthSentinel = 0x5EEDBEEF;

// One row of a render target and of a depth buffer, 24 pixels wide. The buffers start one byte into
// their storage so that the writers also meet unaligned rows.
struct Row {
    static constexpr int kWidth = 24;
    std::vector<std::uint8_t> colorStorage = std::vector<std::uint8_t>(kWidth * 4 + 1);
    std::vector<std::uint8_t> depthStorage = std::vector<std::uint8_t>(kWidth * 4 + 1);
    int bytesPerPixel = 0;

    explicit Row(PixelFormat format) {
        SpanRoutine writer = PixelWriterRoutine(format, false, &bytesPerPixel);
        EXPECT_NE(writer, nullptr);
        for (int x = 0; x < kWidth; ++x) {
            SetColor(x, kColorSentinel);
            SetDepth(x, kDepthSentinel);
        }
    }
    std::uint8_t* color() { return colorStorage.data() + 1; }
    std::uint8_t* depth() { return depthStorage.data() + 1; }
    std::uint32_t Color(int x) {
        std::uint32_t value = 0;
        std::memcpy(&value, color() + x * bytesPerPixel, bytesPerPixel);
        return value;
    }
    void SetColor(int x, std::uint32_t value) {
        std::memcpy(color() + x * bytesPerPixel, &value, bytesPerPixel);
    }
    std::int32_t Depth(int x) {
        std::int32_t value;
        std::memcpy(&value, depth() + x * 4, 4);
        return value;
    }
    void SetDepth(int x, std::int32_t value) { std::memcpy(depth() + x * 4, &value, 4); }
    // The span [start, end) of this row; pixel k of the span takes colors[k] at w = ws[k].
    void Write(PixelFormat format, bool sse, int start, int end, const std::vector<Color32>& colors,
               const std::vector<float>& ws) {
        SpanContext& c = g_spanContext;
        const int length = end - start;
        for (int k = 0; k < length; ++k) {
            c.currentArray[k] = colors[k];
            c.wArray[k] = ws[k];
        }
        c.spanStart = start;
        c.spanEnd = end;
        c.spanLength = length;
        c.wEnd = c.wArray + length;
        c.currentEnd = c.currentArray + length;
        c.colorEnd = color() + end * bytesPerPixel;
        c.depthEnd = depth() + end * 4;
        std::int32_t unused = 0;
        PixelWriterRoutine(format, sse, &unused)();
    }
};

std::int32_t Bits(float w) { return std::bit_cast<std::int32_t>(w); }

struct ConversionCase {
    PixelFormat format;
    Color32 color;
    std::uint32_t stored;
};

const ConversionCase kConversions[] = {
    {A8R8G8B8, 0x80123456, 0x80123456}, {A8R8G8B8, 0x00FFFFFF, 0x00FFFFFF},
    {X8R8G8B8, 0x80123456, 0x00123456}, {X8R8G8B8, 0xFFFFFFFF, 0x00FFFFFF},
    {A4R4G4B4, 0xFFFFFFFF, 0xFFFF},     {A4R4G4B4, 0x80123456, 0x8135},
    {A4R4G4B4, 0x0F0F0F0F, 0x0000},     {X4R4G4B4, 0x80123456, 0x0135},
    {X4R4G4B4, 0xFFFFFFFF, 0x0FFF},     {A1R5G5B5, 0xFFFFFFFF, 0xFFFF},
    {A1R5G5B5, 0xFF808080, 0xC210},     {A1R5G5B5, 0x7F808080, 0x4210},
    {X1R5G5B5, 0xFFFFFFFF, 0x7FFF},     {X1R5G5B5, 0xFF808080, 0x4210},
    {R5G6B5, 0xFFFFFFFF, 0xFFFF},       {R5G6B5, 0xFF808080, 0x8410},
    {R5G6B5, 0x00F80000, 0xF800},       {R5G6B5, 0x0000FC00, 0x07E0},
    {R5G6B5, 0x000000F8, 0x001F},       {R5G6B5, 0xFF070307, 0x0000},
};

// Each conversion over a 7-pixel span (a group of four and a tail of three on the SSE form): every
// pixel is nearer, so all of them take the converted colour and their w.
TEST(PixelWriters, ConvertEveryFormatOnBothForms) {
    for (bool sse : {false, true}) {
        for (const ConversionCase& cc : kConversions) {
            Row row(cc.format);
            const std::vector<Color32> colors(7, cc.color);
            const std::vector<float> ws(7, 2.5f);
            row.Write(cc.format, sse, 5, 12, colors, ws);
            for (int x = 5; x < 12; ++x) {
                EXPECT_EQ(row.Color(x), cc.stored) << "format " << cc.format << " sse " << sse
                                                   << std::hex << " colour " << cc.color;
                EXPECT_EQ(row.Depth(x), Bits(2.5f));
            }
        }
    }
}

// Spans of 1-9 pixels at several positions: only the span's pixels are written, in both buffers.
TEST(PixelWriters, NeverTouchPixelsOutsideTheSpan) {
    for (bool sse : {false, true}) {
        for (PixelFormat format : kWriterFormats) {
            for (int start : {0, 3, 8}) {
                for (int length = 1; length <= 9; ++length) {
                    Row row(format);
                    const int end = start + length;
                    row.Write(format, sse, start, end, std::vector<Color32>(length, 0xFFFFFFFF),
                              std::vector<float>(length, 1.0f));
                    for (int x = 0; x < Row::kWidth; ++x) {
                        const bool inside = x >= start && x < end;
                        EXPECT_EQ(row.Depth(x) == kDepthSentinel, !inside)
                            << "format " << format << " sse " << sse << " x " << x;
                        const std::uint32_t sentinel =
                            row.bytesPerPixel == 4 ? kColorSentinel : kColorSentinel & 0xFFFF;
                        EXPECT_EQ(row.Color(x) == sentinel, !inside)
                            << "format " << format << " sse " << sse << " x " << x;
                    }
                }
            }
        }
    }
}

// Nearer and equal pixels are written; a pixel behind leaves both buffers as they were. Nine
// pixels, so the SSE form meets each case inside a group and in the tail.
TEST(PixelWriters, DepthPassesWhenNearerOrEqual) {
    const float stored = 4.0f;
    const float ws[] = {3.0f, 4.0f, 5.0f, 4.0f, 1e30f, 0.5f, 4.0000005f, 3.9999998f, 4.0f};
    const bool written[] = {true, true, false, true, false, true, false, true, true};
    for (bool sse : {false, true}) {
        for (PixelFormat format : kWriterFormats) {
            Row row(format);
            for (int x = 0; x < Row::kWidth; ++x) row.SetDepth(x, Bits(stored));
            std::vector<Color32> colors(9, 0xFFFFFFFF);
            row.Write(format, sse, 2, 11, colors, std::vector<float>(ws, ws + 9));
            for (int k = 0; k < 9; ++k) {
                EXPECT_EQ(row.Depth(2 + k), Bits(written[k] ? ws[k] : stored))
                    << "format " << format << " sse " << sse << " pixel " << k;
                EXPECT_EQ(
                    row.Color(2 + k) != (kColorSentinel & (row.bytesPerPixel == 4 ? ~0u : 0xFFFFu)),
                    written[k])
                    << "format " << format << " sse " << sse << " pixel " << k;
            }
        }
    }
}

struct AlphaCase {
    PixelFormat format;
    std::uint32_t enable, ref;
    bool written[6];  // for alphas 0, 127, 128, 129, 255, 127
};

// The alpha test belongs to X8R8G8B8 only, compares alpha >= alphaRef and runs before the depth
// test: a skipped pixel writes neither buffer even though it is nearer.
TEST(PixelWriters, AlphaTestOfX8R8G8B8) {
    const Color32 colors[] = {0x00102030, 0x7F102030, 0x80102030,
                              0x81102030, 0xFF102030, 0x7F102030};
    const AlphaCase cases[] = {
        {X8R8G8B8, 1, 128, {false, false, true, true, true, false}},
        {X8R8G8B8, 0, 128, {true, true, true, true, true, true}},
        {X8R8G8B8, 1, 0, {true, true, true, true, true, true}},
        {X8R8G8B8, 1, 255, {false, false, false, false, true, false}},
        {X8R8G8B8, 1, 256, {false, false, false, false, false, false}},
        {X8R8G8B8, 1, 0x80000000, {false, false, false, false, false, false}},
        {A8R8G8B8, 1, 128, {true, true, true, true, true, true}},
        {R5G6B5, 1, 128, {true, true, true, true, true, true}},
    };
    for (bool sse : {false, true}) {
        for (const AlphaCase& ac : cases) {
            g_spanContext.alphaTestEnable = ac.enable;
            g_spanContext.alphaRef = ac.ref;
            Row row(ac.format);
            row.Write(ac.format, sse, 1, 7, std::vector<Color32>(colors, colors + 6),
                      std::vector<float>(6, 1.0f));
            for (int k = 0; k < 6; ++k) {
                EXPECT_EQ(row.Depth(1 + k) == Bits(1.0f), ac.written[k])
                    << "format " << ac.format << " ref " << ac.ref << " sse " << sse << " pixel "
                    << k;
                EXPECT_EQ(
                    row.Color(1 + k) != (kColorSentinel & (row.bytesPerPixel == 4 ? ~0u : 0xFFFFu)),
                    ac.written[k])
                    << "format " << ac.format << " ref " << ac.ref << " sse " << sse << " pixel "
                    << k;
            }
        }
    }
    g_spanContext.alphaTestEnable = 0;
    g_spanContext.alphaRef = 0;
}

// Random colours, depths and ws (negative ones too, which read as negative integers): both forms
// leave identical buffers.
TEST(PixelWriters, SseAndPlainFormsAgreeOnRandomSpans) {
    std::mt19937 random(99);
    std::uniform_real_distribution<float> w(-2.0f, 8.0f);
    g_spanContext.alphaTestEnable = 1;
    g_spanContext.alphaRef = 100;
    for (PixelFormat format : kWriterFormats) {
        for (int start : {0, 1, 2, 3}) {
            const int end = Row::kWidth - (start % 2);
            std::vector<Color32> colors(end - start);
            std::vector<float> ws(end - start);
            for (auto& c : colors) c = random();
            for (auto& v : ws) v = w(random);
            Row plain(format), sse(format);
            for (int x = 0; x < Row::kWidth; ++x) {
                const std::int32_t depth = Bits(w(random));
                plain.SetDepth(x, depth);
                sse.SetDepth(x, depth);
            }
            plain.Write(format, false, start, end, colors, ws);
            sse.Write(format, true, start, end, colors, ws);
            EXPECT_EQ(plain.colorStorage, sse.colorStorage) << "format " << format;
            EXPECT_EQ(plain.depthStorage, sse.depthStorage) << "format " << format;
        }
    }
    g_spanContext.alphaTestEnable = 0;
    g_spanContext.alphaRef = 0;
}

// Only the seven target formats have writers; other formats leave the byte count alone.
TEST(PixelWriters, RoutinesAndBytesPerPixelByFormat) {
    for (bool sse : {false, true}) {
        for (std::uint32_t f = 0; f < 40; ++f) {
            std::int32_t bytes = -7;
            const SpanRoutine writer = PixelWriterRoutine(static_cast<PixelFormat>(f), sse, &bytes);
            const bool hasWriter = (f >= 1 && f <= 8 && f != 3);
            EXPECT_EQ(writer != nullptr, hasWriter) << "format " << f;
            EXPECT_EQ(bytes, !hasWriter ? -7 : (f <= 2 ? 4 : 2)) << "format " << f;
        }
        EXPECT_NE(PixelWriterRoutine(A8R8G8B8, sse, nullptr), nullptr);
    }
    EXPECT_NE(PixelWriterRoutine(R5G6B5, true, nullptr),
              PixelWriterRoutine(R5G6B5, false, nullptr));
}

}  // namespace
