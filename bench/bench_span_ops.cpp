// Span operations over 400-pixel spans (a full-width row of a 400 x 300 target), each in its SSE
// and its plain form within one run, so the ratio of the two can be read off the cycle counters:
// modulate, the A8R8G8B8 pixel writer and the bilinear texel fetch.

#include <benchmark/benchmark.h>
#include <x86intrin.h>

#include <cstdint>
#include <vector>

#include "raster/color_ops.h"
#include "raster/pixel_writers.h"
#include "raster/span_context.h"
#include "render/rounding_mode.h"
#include "render/texel_fetch.h"

namespace {

constexpr int kSpanPixels = 400;

void PrepareSpan() {
    SpanContext& c = g_spanContext;
    c.spanStart = 0;
    c.spanEnd = kSpanPixels;
    c.spanLength = kSpanPixels;
    c.wEnd = c.wArray + kSpanPixels;
    c.diffuseEnd = c.diffuseArray + kSpanPixels;
    c.texelEnd = c.texelArray + kSpanPixels;
    c.currentEnd = c.currentArray + kSpanPixels;
    for (int k = 0; k < kSpanArrayLength; ++k) {
        c.wArray[k] = 1.0f + k * 0.001f;
        c.diffuseArray[k] = 0x80FF8040u + static_cast<Color32>(k) * 0x01010101u;
        c.texelArray[k] = 0xFF40C020u ^ static_cast<Color32>(k) * 0x00030507u;
        c.currentArray[k] = 0;
    }
}

// Runs a span routine, counting time-stamp cycles around each call.
void RunSpanRoutine(benchmark::State& state, SpanRoutine routine) {
    std::uint64_t cycles = 0;
    for (auto _ : state) {
        const std::uint64_t start = __rdtsc();
        routine();
        cycles += __rdtsc() - start;
        benchmark::ClobberMemory();
    }
    state.counters["tsc_per_span"] =
        benchmark::Counter(static_cast<double>(cycles), benchmark::Counter::kAvgIterations);
    state.counters["tsc_per_pixel"] = benchmark::Counter(static_cast<double>(cycles) / kSpanPixels,
                                                         benchmark::Counter::kAvgIterations);
}

void BM_Modulate(benchmark::State& state, bool sse) {
    PrepareSpan();
    SpanContext& c = g_spanContext;
    c.firstArgEnd = c.texelEnd;
    c.secondArgEnd = c.diffuseEnd;
    RunSpanRoutine(state, ColorOpRoutine(4, sse));
}

// Every pixel passes (equal depth passes), so each call writes the whole span.
void BM_WriteA8R8G8B8(benchmark::State& state, bool sse) {
    PrepareSpan();
    std::vector<std::uint32_t> target(kSpanPixels), depth(kSpanPixels, 0x7F000000);
    SpanContext& c = g_spanContext;
    c.colorEnd = reinterpret_cast<std::uint8_t*>(target.data() + kSpanPixels);
    c.depthEnd = reinterpret_cast<std::uint8_t*>(depth.data() + kSpanPixels);
    std::int32_t bytesPerPixel = 0;
    RunSpanRoutine(state, PixelWriterRoutine(A8R8G8B8, sse, &bytesPerPixel));
}

// A 64 x 64 texture crossed diagonally, under the rounding mode of each path's draws.
void BM_BilinearFetch(benchmark::State& state, bool sse) {
    PrepareSpan();
    std::vector<Color32> pixels(64 * 64);
    for (std::size_t k = 0; k < pixels.size(); ++k)
        pixels[k] = static_cast<Color32>(k * 0x9E3779B9u);
    SpanContext& c = g_spanContext;
    StageSampling& s = c.sampling[0];
    for (int k = 0; k < 4; ++k) {
        s.width[k] = s.height[k] = 64.0f;
        s.columnMask[k] = 63;
        s.rowMask[k] = 63 * 64;
        s.one[k] = 1;
        s.rowLength[k] = 64;
        s.zero[k] = 0;
        s.log2Width[k] = k == 0 ? 6 : 0;
        c.texStart[0][0][k] = 0.3f + 0.37f * k;
        c.texStart[0][1][k] = 5.1f + 0.21f * k;
        c.texStep4[0][0][k] = 4 * 0.37f;
        c.texStep4[0][1][k] = 4 * 0.21f;
    }
    s.pixels = pixels.data();
    const MxcsrGuard callerMxcsr;
    SetRoundingMode(sse ? RoundingMode::Down : RoundingMode::Nearest);
    RunSpanRoutine(state, BilinearFetchRoutine(0, sse));
}

BENCHMARK_CAPTURE(BM_Modulate, sse, true);
BENCHMARK_CAPTURE(BM_Modulate, plain, false);
BENCHMARK_CAPTURE(BM_WriteA8R8G8B8, sse, true);
BENCHMARK_CAPTURE(BM_WriteA8R8G8B8, plain, false);
BENCHMARK_CAPTURE(BM_BilinearFetch, sse, true);
BENCHMARK_CAPTURE(BM_BilinearFetch, plain, false);

}  // namespace
