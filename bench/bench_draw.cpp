// Whole draws: the logo workload (an opaque full-screen quad with a 256 x 256 bilinear texture, then
// two alpha-blended quads with 512 x 128 textures across the top third, three DrawPrimitive calls of
// two-triangle strips in vertex format 0x342, stride 32) at three target sizes on each path.
// Counters: time-stamp cycles per frame and per pixel drawn (each pixel of each quad once, as the
// device's pixel statistic counts them). Compare the paths as ratios within one run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>
#include <x86intrin.h>

#include "image/image.h"
#include "image/texture.h"
#include "render/render_device.h"

namespace {

struct SpriteVertex {
    float x, y, z;
    std::uint32_t diffuse;
    float u0, v0;
    float u1, v1;
};
static_assert(sizeof(SpriteVertex) == 32, "the logo's vertices are 32 bytes");
constexpr VertexFormat kSpriteFormat = 0x342;  // position, diffuse, texture sets 0 and 1

std::unique_ptr<Texture> PatternTexture(int width, int height, std::uint32_t alpha) {
    std::unique_ptr<Texture> texture(createTexture(width, height, A8R8G8B8, 1));
    Image* level = texture->getLevel(0);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<Color32*>(level->pixels + y * level->pitch);
        for (int x = 0; x < width; ++x)
            row[x] = alpha << 24 | static_cast<Color32>((x * 7 + y) & 0xFF) << 16 |
                     static_cast<Color32>((y * 5) & 0xFF) << 8 | static_cast<Color32>((x ^ y) & 0xFF);
    }
    return texture;
}

// One sprite of the logo: a unit quad scaled and placed in the 640 x 480 virtual screen.
struct Sprite {
    const Texture* texture;
    float left, top, width, height;
    std::uint32_t color;
    bool blend;
    SpriteVertex vertices[4];

    void Build() {
        const float u[4] = {0, 1, 0, 1};
        const float v[4] = {0, 0, 1, 1};
        for (int k = 0; k < 4; ++k)
            vertices[k] = {left + u[k] * width, top + v[k] * height, 0, color, u[k], 1 - v[k], u[k], 1 - v[k]};
    }
};

class LogoScene {
public:
    LogoScene(int width, int height, bool ssePath)
        : target_(static_cast<std::size_t>(width) * height), background_(PatternTexture(256, 256, 0xFF)),
          logo_(PatternTexture(512, 128, 0xC0)), glow_(PatternTexture(512, 128, 0x80)) {
        device_ = std::make_unique<RenderDevice>();
        device_->SetRenderTarget(target_.data(), width, height, X8R8G8B8, width * 4);
        device_->ClearDepth(1e38f);
        device_->SetRenderState(RS_PROCESSORPATH, ssePath ? 2 : 0);
        sprites_[0] = {background_.get(), 0, 0, 640, 480, 0xFFFFFFFF, false, {}};
        sprites_[1] = {logo_.get(), 0, 48, 640, 160, 0x80FFFFFF, true, {}};
        sprites_[2] = {glow_.get(), 0, 48, 640, 160, 0x7FFFFFFF, true, {}};
        for (Sprite& s : sprites_) s.Build();
        // Virtual screen to x, y in -1..1.
        projection_.Identity();
        projection_.Translate(-320, -240, 0);
        projection_.Scale(0.003125f, 0.0041666669f, 1);
    }

    void DrawFrame() {
        Matrix4 world;
        world.Identity();
        for (const Sprite& s : sprites_) {
            device_->SetTexture(0, s.texture);
            device_->SetTextureStageState(0, TSS_MAGFILTER, TEXF_LINEAR);
            device_->SetTransform(TS_WORLD0, world);
            device_->SetTransform(TS_PROJECTION, projection_);
            device_->SetStreamSource(0, s.vertices, kSpriteFormat, sizeof(SpriteVertex));
            device_->SetVertexFormat(kSpriteFormat);
            device_->SetRenderState(RS_LIGHTING, 0);
            device_->SetRenderState(RS_ALPHABLENDENABLE, s.blend ? 1 : 0);
            device_->DrawPrimitive(PT_TRIANGLESTRIP, 0, 2);
        }
    }

    std::uint64_t PixelsDrawn() const { return device_->GetStatistic(2); }
    void ResetPixels() { device_->ResetStatistic(2); }
    const std::uint32_t* Pixels() const { return target_.data(); }

private:
    std::vector<std::uint32_t> target_;
    std::unique_ptr<Texture> background_, logo_, glow_;
    std::unique_ptr<RenderDevice> device_;
    Sprite sprites_[3];
    Matrix4 projection_;
};

void BM_LogoFrame(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const bool ssePath = state.range(2) != 0;
    LogoScene scene(width, height, ssePath);
    scene.DrawFrame();  // first draw compiles everything
    scene.ResetPixels();
    std::uint64_t cycles = 0;
    for (auto _ : state) {
        const std::uint64_t start = __rdtsc();
        scene.DrawFrame();
        cycles += __rdtsc() - start;
        benchmark::DoNotOptimize(scene.Pixels());
        benchmark::ClobberMemory();
    }
    const double frames = static_cast<double>(state.iterations());
    const double pixels = static_cast<double>(scene.PixelsDrawn());
    state.counters["cycles_per_frame"] = static_cast<double>(cycles) / frames;
    state.counters["pixels_per_frame"] = pixels / frames;
    state.counters["cycles_per_pixel"] = pixels > 0 ? static_cast<double>(cycles) / pixels : 0.0;
    state.SetLabel(ssePath ? "sse" : "scalar");
}

BENCHMARK(BM_LogoFrame)
    ->ArgNames({"width", "height", "sse"})
    ->Args({320, 240, 0})
    ->Args({320, 240, 1})
    ->Args({400, 300, 0})
    ->Args({400, 300, 1})
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
