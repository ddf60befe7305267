// Vertex processing of one batch on the scalar and the SSE path: ProcessBatch (flat colours and the
// position transform, with and without three-weight blending) and the lighting step. Each reports
// time-stamp cycles per batch; compare the scalar and SSE lines of one run.
#include <memory>

#include <benchmark/benchmark.h>
#include <x86intrin.h>

#include "render/lighting.h"
#include "render/render_device.h"
#include "render/rounding_mode.h"

namespace {

void DropBatch(RenderDevice&, VertexBatch&) {}

// A device ready for ProcessBatch on the chosen path, its batches going nowhere.
std::unique_ptr<RenderDevice> MakeBenchDevice(bool sse, std::uint32_t vertexBlend) {
    auto device = std::make_unique<RenderDevice>();
    device->batchConsumer = DropBatch;
    device->ssePath = sse ? kDirty : 0;
    device->SetRenderState(RS_SHADEMODE, SHADE_FLAT);
    device->SetRenderState(RS_VERTEXBLEND, vertexBlend);
    device->SetVertexFormat(VF_XYZ | VF_NORMAL | VF_DIFFUSE | VF_WEIGHT1 | VF_WEIGHT2 | VF_WEIGHT3);
    for (int i = 0; i < 4; ++i) {
        Matrix4 world;
        world.Identity();
        world.Rotate(10.0f * i + 5.0f, 7.0f, 3.0f * i);
        world.Translate(0.1f * i, -0.2f, 4.0f);
        device->SetTransform(TS_WORLD0 + i, world);
    }
    Matrix4 projection{{{1.3f, 0, 0, 0}, {0, 1.7f, 0, 0}, {0, 0, 1.01f, 1}, {0, 0, -0.101f, 0}}};
    device->SetTransform(TS_PROJECTION, projection);
    device->viewportMatrix = Matrix4{{{160, 0, 0, 0}, {0, -120, 0, 0}, {0, 0, 1, 0}, {159.5f, 119.5f, 0, 1}}};
    // A diffuse block of 2 keeps every factor at 1 for normals within 60 degrees of the light, so
    // lighting the same batch again and again leaves its colours as they are.
    device->SetLightDiffuse(0, 2.0f, 2.0f, 2.0f, 2.0f);
    device->SetLightDirection(0, 0.0f, 0.0f, 1.0f);
    device->PrepareTransforms();
    device->PrepareLighting();
    return device;
}

void FillBatch(VertexBatch& batch) {
    for (int k = 0; k < 3; ++k) {
        VertexSlot& c = batch.corner[k];
        for (int l = 0; l < kBatchLanes; ++l) {
            const float t = static_cast<float>(4 * k + l);
            c.x.lane[l] = 0.1f * t - 0.6f;
            c.y.lane[l] = 0.05f * t * t - 1.0f;
            c.z.lane[l] = 0.3f - 0.02f * t;
            c.nx.lane[l] = 0.1f * (l - 2);
            c.ny.lane[l] = 0.05f * k;
            c.nz.lane[l] = 1.0f;
            c.w1.lane[l] = 0.25f;
            c.w2.lane[l] = 0.25f;
            c.w3.lane[l] = 0.125f;
            for (int ch = 0; ch < 4; ++ch) c.diffuse[ch].lane[l] = 40.0f * ch + t;
        }
    }
}

template <typename Step>
void RunPerBatch(benchmark::State& state, bool sse, Step step) {
    const MxcsrGuard callerMxcsr;
    SetRoundingMode(sse ? RoundingMode::Down : RoundingMode::Nearest);
    // One pair of readings around the whole loop: a pair per batch would cost as much as the batch.
    const std::uint64_t start = __rdtsc();
    for (auto _ : state) step();
    const std::uint64_t cycles = __rdtsc() - start;
    state.counters["tsc_per_batch"] = benchmark::Counter(static_cast<double>(cycles), benchmark::Counter::kAvgIterations);
}

void BM_ProcessBatch(benchmark::State& state) {
    const bool sse = state.range(0) != 0;
    const auto vertexBlend = static_cast<std::uint32_t>(state.range(1));
    auto device = MakeBenchDevice(sse, vertexBlend);
    alignas(16) VertexBatch batch{};
    FillBatch(batch);
    RunPerBatch(state, sse, [&] {
        device->ProcessBatch(batch);
        benchmark::DoNotOptimize(batch);
    });
    state.SetLabel(sse ? "sse" : "scalar");
}
BENCHMARK(BM_ProcessBatch)->ArgNames({"sse", "blend"})->ArgsProduct({{0, 1}, {0, 3}});

void BM_LightBatch(benchmark::State& state) {
    const bool sse = state.range(0) != 0;
    auto device = MakeBenchDevice(sse, 0);
    alignas(16) VertexBatch batch{};
    FillBatch(batch);
    RunPerBatch(state, sse, [&] {
        LightBatch(*device, batch);
        benchmark::DoNotOptimize(batch);
    });
    state.SetLabel(sse ? "sse" : "scalar");
}
BENCHMARK(BM_LightBatch)->ArgName("sse")->Arg(0)->Arg(1);

}  // namespace
