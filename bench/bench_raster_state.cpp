// Per-draw state compilation: CompileRasterState after one state change, on the plain and on the
// SSE path (argument 0 / 1), in time-stamp cycles per call. The ratio of the two paths can be read
// off one run; "unchanged" is the floor every draw pays.

#include <benchmark/benchmark.h>
#include <x86intrin.h>

#include <memory>
#include <vector>

#include "image/texture.h"
#include "render/render_device.h"

namespace {

// A device drawing one textured stage into a 320 x 240 target, like the animation's sprites.
struct BenchDevice {
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(320 * 240);
    std::unique_ptr<RenderDevice> device = std::make_unique<RenderDevice>();
    std::unique_ptr<Texture> texture{createTexture(128, 128, A8R8G8B8, 1)};

    explicit BenchDevice(bool ssePath) {
        device->SetRenderTarget(pixels.data(), 320, 240, X8R8G8B8, 320 * 4);
        device->SetVertexFormat(VF_XYZ | VF_DIFFUSE | VF_TEX0);
        device->SetTexture(0, texture.get());
        device->SetRenderState(RS_PROCESSORPATH, ssePath ? 2 : 0);
        device->PrepareViewport();
        device->CompileRasterState();
    }
};

// Runs change() then CompileRasterState once per iteration and reports cycles per call.
template <typename Change>
void MeasureCompile(benchmark::State& state, Change change) {
    BenchDevice bench(state.range(0) != 0);
    RenderDevice& device = *bench.device;
    if (state.range(0) != 0 && device.ssePath == 0) {
        state.SkipWithError("no SSE path on this processor");
        return;
    }
    std::uint32_t round = 0;
    std::uint64_t cycles = 0;
    for (auto _ : state) {
        change(device, round++);
        const std::uint64_t start = __rdtsc();
        device.CompileRasterState();
        cycles += __rdtsc() - start;
        benchmark::ClobberMemory();
    }
    state.counters["tsc_cycles_per_call"] =
        benchmark::Counter(static_cast<double>(cycles), benchmark::Counter::kAvgIterations);
}

void BM_CompileUnchanged(benchmark::State& state) {
    MeasureCompile(state, [](RenderDevice&, std::uint32_t) {});
}

void BM_CompileAfterRenderState(benchmark::State& state) {
    MeasureCompile(state, [](RenderDevice& device, std::uint32_t round) {
        device.SetRenderState(RS_ALPHAREF, round & 0xFFu);
    });
}

void BM_CompileAfterStageState(benchmark::State& state) {
    MeasureCompile(state, [](RenderDevice& device, std::uint32_t round) {
        device.SetTextureStageState(0, TSS_MAGFILTER, (round & 1u) != 0 ? TEXF_LINEAR : TEXF_POINT);
    });
}

// Two devices drawing in turn: every compile starts from the other device's state.
void BM_CompileAlternatingDevices(benchmark::State& state) {
    BenchDevice other(state.range(0) != 0);
    MeasureCompile(state, [&other](RenderDevice&, std::uint32_t) { other.device->CompileRasterState(); });
}

BENCHMARK(BM_CompileUnchanged)->Arg(0)->Arg(1);
BENCHMARK(BM_CompileAfterRenderState)->Arg(0)->Arg(1);
BENCHMARK(BM_CompileAfterStageState)->Arg(0)->Arg(1);
BENCHMARK(BM_CompileAlternatingDevices)->Arg(0)->Arg(1);

}  // namespace
