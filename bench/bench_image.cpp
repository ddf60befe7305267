// Image throughput: texture uploads, scaled copies and level generation, each beside a memcpy of the
// same byte count so the ratio to plain memory bandwidth can be read off one run.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "image/blit.h"
#include "image/image.h"
#include "image/texture.h"

namespace {

std::vector<std::uint8_t> patternBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 131 + 7);
    }
    return bytes;
}

void reportBytes(benchmark::State& state, std::size_t bytesPerIteration) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytesPerIteration));
}

// memcpy of the same byte count as the operation it stands beside.
void BM_Memcpy(benchmark::State& state) {
    const auto bytes = static_cast<std::size_t>(state.range(0));
    const std::vector<std::uint8_t> source = patternBytes(bytes);
    std::vector<std::uint8_t> destination(bytes);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), bytes);
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    reportBytes(state, bytes);
}

// The bitmap-to-texture path: uploadToLevel into an A8R8G8B8 level 0 of the bitmap's size.
void uploadBenchmark(benchmark::State& state, int width, int height, PixelFormat sourceFormat) {
    const int pitch = packedRowBytes(width, sourceFormat);
    const std::vector<std::uint8_t> bitmap = patternBytes(static_cast<std::size_t>(pitch) * height);
    std::unique_ptr<Texture> texture(createTexture(width, height, A8R8G8B8, 1));
    for (auto _ : state) {
        texture->uploadToLevel(0, 0, 0, width, height, bitmap.data(), 0, 0, width, height, width, height,
                               sourceFormat, pitch);
        benchmark::DoNotOptimize(texture->getLevel(0)->pixels);
        benchmark::ClobberMemory();
    }
    reportBytes(state, static_cast<std::size_t>(width) * height * 4);
}

void BM_UploadArgb512x128(benchmark::State& state) { uploadBenchmark(state, 512, 128, A8R8G8B8); }
void BM_UploadRgb256x256(benchmark::State& state) { uploadBenchmark(state, 256, 256, R8G8B8); }

// stretchBlit between A8R8G8B8 images; bytes are those written to the destination.
void stretchBenchmark(benchmark::State& state, int sourceSize, int destinationSize) {
    Image* source = createImage(sourceSize, sourceSize, A8R8G8B8);
    Image* destination = createImage(destinationSize, destinationSize, A8R8G8B8);
    const std::vector<std::uint8_t> pattern = patternBytes(static_cast<std::size_t>(source->pitch) * sourceSize);
    std::memcpy(source->pixels, pattern.data(), pattern.size());
    for (auto _ : state) {
        stretchBlit(destination->pixels, 0, 0, destinationSize, destinationSize, destinationSize, destinationSize,
                    A8R8G8B8, destination->pitch, source->pixels, 0, 0, sourceSize, sourceSize, sourceSize,
                    sourceSize, A8R8G8B8, source->pitch);
        benchmark::DoNotOptimize(destination->pixels);
        benchmark::ClobberMemory();
    }
    reportBytes(state, static_cast<std::size_t>(destinationSize) * destinationSize * 4);
    destroyImage(source);
    destroyImage(destination);
}

void BM_StretchBlit1to1(benchmark::State& state) { stretchBenchmark(state, 256, 256); }
void BM_StretchBlit2to1(benchmark::State& state) { stretchBenchmark(state, 512, 256); }

// Box-filtered level generation; bytes are those of level 0, which every level reads in turn.
void BM_GenerateLevelsBox256(benchmark::State& state) {
    std::unique_ptr<Texture> texture(createTexture(256, 256, A8R8G8B8, 0));
    const std::vector<std::uint8_t> pattern = patternBytes(256 * 256 * 4);
    std::memcpy(texture->getLevel(0)->pixels, pattern.data(), pattern.size());
    for (auto _ : state) {
        texture->generateLevels(true);
        benchmark::DoNotOptimize(texture->getLevel(1)->pixels);
        benchmark::ClobberMemory();
    }
    reportBytes(state, 256 * 256 * 4);
}

}  // namespace

BENCHMARK(BM_UploadArgb512x128);
BENCHMARK(BM_Memcpy)->Name("BM_Memcpy/upload_512x128")->Arg(512 * 128 * 4);
BENCHMARK(BM_UploadRgb256x256);
BENCHMARK(BM_Memcpy)->Name("BM_Memcpy/upload_256x256")->Arg(256 * 256 * 4);
BENCHMARK(BM_StretchBlit1to1);
BENCHMARK(BM_Memcpy)->Name("BM_Memcpy/blit_256x256")->Arg(256 * 256 * 4);
BENCHMARK(BM_StretchBlit2to1);
BENCHMARK(BM_Memcpy)->Name("BM_Memcpy/blit_2to1_256x256")->Arg(256 * 256 * 4);
BENCHMARK(BM_GenerateLevelsBox256);
BENCHMARK(BM_Memcpy)->Name("BM_Memcpy/levels_256x256")->Arg(256 * 256 * 4);
