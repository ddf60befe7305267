// The animated logo's cost: one whole frame (Update: the pulse and the three sprites through the
// renderer) at the window's usual sizes, on the SSE path and on the plain one, and presenting
// the finished frame buffer with StretchBitmap (into a memory DIB of the same size, which is the
// window's 1:1 copy without the toolkit's backing store). Time-stamp cycles per frame and per
// pixel.
#include <benchmark/benchmark.h>
#include <x86intrin.h>

#include "assets/embedded_files.h"
#include "display/animation_scene.h"
#include "display/bitmap_handles.h"
#include "display/stretch_bitmap.h"
#include "platform/memory_dc.h"
#include "platform/resources.h"

namespace {
void UseLogoBitmaps() {
    static const BitmapResource bitmaps[] = {
        {kBackgroundBitmapId, EmbeddedFile("background_117.bmp")},
        {kLogoBitmapId, EmbeddedFile("logo_113.bmp")},
        {kGlowBitmapId, EmbeddedFile("glow_115.bmp")},
    };
    static const ResourceTable table{{}, {}, {}, bitmaps};
    AfxSetResourceTable(&table);
}

void Report(benchmark::State& state, std::uint64_t cycles, int pixels) {
    const double frames = static_cast<double>(state.iterations());
    state.counters["tsc_cycles_per_frame"] = static_cast<double>(cycles) / frames;
    state.counters["tsc_cycles_per_pixel"] = static_cast<double>(cycles) / frames / pixels;
    state.counters["frames_per_second"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}

// Arguments: width, height, processor path (2 SSE, 0 plain).
void SceneFrame(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    UseLogoBitmaps();
    AnimationScene scene;
    if (scene.Create() == 0 || scene.ResizeTarget(width, height) == 0) {
        state.SkipWithError("no scene");
        return;
    }
    scene.m_device->SetRenderState(RS_PROCESSORPATH, static_cast<std::uint32_t>(state.range(2)));
    scene.StartAnimation();
    std::uint64_t cycles = 0;
    for (auto _ : state) {
        const std::uint64_t start = __rdtsc();
        scene.Update(0.04f);  // 25 frames a second of animation time
        cycles += __rdtsc() - start;
    }
    Report(state, cycles, width * height);
}

void PresentFrame(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    UseLogoBitmaps();
    AnimationScene scene;
    if (scene.Create() == 0 || scene.ResizeTarget(width, height) == 0) {
        state.SkipWithError("no scene");
        return;
    }
    scene.Update(0);
    HBITMAP window = CreateDib(width, height, 32);
    CDC* dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, window);
    std::uint64_t cycles = 0;
    for (auto _ : state) {
        const std::uint64_t start = __rdtsc();
        benchmark::DoNotOptimize(StretchBitmap(dc, 0, 0, width, height, scene.m_frameBuffer, 0, 0, width, height));
        cycles += __rdtsc() - start;
    }
    DeleteDC(dc);
    DeleteBitmapHandle(window);
    Report(state, cycles, width * height);
}
}  // namespace

BENCHMARK(SceneFrame)->Args({320, 240, 2})->Args({400, 300, 2})->Args({320, 240, 0})->Args({400, 300, 0});
BENCHMARK(PresentFrame)->Args({320, 240})->Args({400, 300});
