// The clipper and the triangle-setup steps on one batch, scalar path beside SSE path: the whole
// batch clip (plane tests, divide, culling, viewport rejection) with no lane crossing a plane and
// with one lane clipped at the near plane, and the setup steps before scan conversion. Each reports
// time-stamp cycles per batch; compare the scalar and SSE lines of one run.
#include <memory>

#include <benchmark/benchmark.h>
#include <x86intrin.h>

#include "raster/clip.h"
#include "raster/triangle_setup.h"
#include "render/render_device.h"
#include "render/rounding_mode.h"

namespace {

std::unique_ptr<RenderDevice> MakeBenchDevice(bool sse) {
    auto device = std::make_unique<RenderDevice>();
    device->ssePath = sse ? kDirty : 0;
    device->SetViewport(0, 0, 320, 240, 0.0f, 1.0f);
    device->renderStates[RS_CULLMODE] = CULL_CCW;
    device->vertexFormat = VF_XYZ | VF_DIFFUSE | VF_TEX0 | VF_TEX1;  // the animation's sprites
    for (int stage = 0; stage < 2; ++stage) {
        device->stages[stage].levels[0].widthF = 128.0f;
        device->stages[stage].levels[0].heightF = 64.0f;
    }
    return device;
}

// Four clockwise triangles inside a 320 x 240 viewport; with `crossing`, lane 2's first corner
// lies before the near plane.
void FillBatch(VertexBatch& batch, bool crossing) {
    for (int l = 0; l < kBatchLanes; ++l) {
        const float x = 40.0f + 60.0f * l, y = 30.0f + 10.0f * l;
        const float corners[3][2] = {{x, y}, {x + 50, y + 20}, {x + 10, y + 80}};
        for (int k = 0; k < 3; ++k) {
            VertexSlot& c = batch.corner[k];
            const float w = 1.0f + 0.25f * k;
            c.X.lane[l] = corners[k][0] * w;
            c.Y.lane[l] = corners[k][1] * w;
            c.Z.lane[l] = (crossing && l == 2 && k == 0) ? -0.5f : 0.5f;
            c.W.lane[l] = w;
            for (int ch = 0; ch < 4; ++ch) c.diffuse[ch].lane[l] = 50.0f * ch + k;
            for (int set = 0; set < 2; ++set) {
                c.tex[set][0].lane[l] = 0.25f * k;
                c.tex[set][1].lane[l] = 0.5f * l;
            }
        }
    }
}

template <typename Step>
void RunPerBatch(benchmark::State& state, bool sse, Step step) {
    const MxcsrGuard callerMxcsr;
    SetRoundingMode(sse ? RoundingMode::Down : RoundingMode::Nearest);
    const std::uint64_t start = __rdtsc();
    for (auto _ : state) step();
    const std::uint64_t cycles = __rdtsc() - start;
    state.counters["tsc_per_batch"] = benchmark::Counter(static_cast<double>(cycles), benchmark::Counter::kAvgIterations);
    state.SetLabel(sse ? "sse" : "scalar");
}

// The batch is rewritten in place, so each pass starts from a fresh copy (a 2208-byte copy, the
// same on both paths).
void BM_ClipBatch(benchmark::State& state) {
    const bool sse = state.range(0) != 0;
    const bool crossing = state.range(1) != 0;
    auto device = MakeBenchDevice(sse);
    alignas(16) VertexBatch source{};
    FillBatch(source, crossing);
    alignas(16) VertexBatch batch{};
    RunPerBatch(state, sse, [&] {
        batch = source;
        ClipResult result{};
        ClipBatch(*device, batch, result);
        device->clipCount = 0;  // the clipped half waits in the queue; it is never drawn here
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(batch);
    });
}
BENCHMARK(BM_ClipBatch)->ArgNames({"sse", "crossing"})->ArgsProduct({{0, 1}, {0, 1}});

void BM_SetupSteps(benchmark::State& state) {
    const bool sse = state.range(0) != 0;
    auto device = MakeBenchDevice(sse);
    alignas(16) VertexBatch source{};
    FillBatch(source, false);
    ProjectBatch(*device, source);
    alignas(16) VertexBatch batch{};
    RunPerBatch(state, sse, [&] {
        batch = source;
        PrepareTexCoords(*device, batch, device->vertexFormat);
        PremultiplyByRhw(*device, batch, device->vertexFormat);
        SortBatchVertices(batch);
        benchmark::DoNotOptimize(batch);
    });
}
BENCHMARK(BM_SetupSteps)->ArgName("sse")->Arg(0)->Arg(1);

void BM_CopyOnly(benchmark::State& state) {
    alignas(16) VertexBatch source{};
    FillBatch(source, false);
    alignas(16) VertexBatch batch{};
    RunPerBatch(state, false, [&] {
        batch = source;
        benchmark::DoNotOptimize(batch);
    });
    state.SetLabel("copy");  // the batch copy every other line includes, on neither path
}
BENCHMARK(BM_CopyOnly);

}  // namespace
