// Regression pictures of the whole renderer: a small scene of textured, Gouraud-shaded, alpha-blended
// and depth-tested triangles drawn through RenderDevice on each path, written as BMP and compared
// byte for byte with the pictures in tests/raster/data.
//
// To regenerate the references after an intended change, run the test with
// FERROX_UPDATE_REFERENCE=1 (for example `FERROX_UPDATE_REFERENCE=1 ctest -R ScanRegression`), look
// at the new files and commit them.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image/bmp_file.h"
#include "image/image.h"
#include "image/texture.h"
#include "render/render_device.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

struct SceneVertex {
    float x, y, z;
    std::uint32_t diffuse;
    float u, v;
};
constexpr VertexFormat kSceneFormat = VF_XYZ | VF_DIFFUSE | VF_TEX0;

struct ImageDeleter {
    void operator()(Image* image) const { destroyImage(image); }
};

// A texture whose level-0 texel (x, y) is texel(x, y).
template <typename Texel>
std::unique_ptr<Texture> MakeTexture(int width, int height, Texel texel) {
    std::unique_ptr<Texture> texture(createTexture(width, height, A8R8G8B8, 1));
    Image* level = texture->getLevel(0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            reinterpret_cast<Color32*>(level->pixels + y * level->pitch)[x] = texel(x, y);
    return texture;
}

// Camera space to the screen with w = z, so depth and perspective both vary across the scene.
Matrix4 Perspective() {
    Matrix4 m;
    m.Identity();
    m.m[2][3] = 1.0f;
    m.m[3][3] = 0.0f;
    return m;
}

void Draw(RenderDevice& device, const std::vector<SceneVertex>& vertices) {
    device.SetStreamSource(0, vertices.data(), kSceneFormat, sizeof(SceneVertex));
    device.SetVertexFormat(kSceneFormat);
    device.DrawPrimitive(PT_TRIANGLELIST, 0, static_cast<std::uint32_t>(vertices.size() / 3));
}

std::unique_ptr<Image, ImageDeleter> RenderScene(bool ssePath) {
    std::unique_ptr<Image, ImageDeleter> target(createImage(kWidth, kHeight, A8R8G8B8));
    auto checker = MakeTexture(32, 32, [](int x, int y) {
        return ((x / 4 + y / 4) % 2) != 0 ? 0xFFE0C040u : 0xFF3060A0u;
    });
    auto ramp = MakeTexture(16, 16, [](int x, int y) {
        return 0xFF000000u | static_cast<Color32>(x * 16) << 16 | static_cast<Color32>(y * 16) << 8 | 0x80u;
    });

    auto device = std::make_unique<RenderDevice>();
    device->SetRenderTarget(target->pixels, kWidth, kHeight, A8R8G8B8, target->pitch);
    device->ClearColor(0xFF202020);
    device->SetRenderState(RS_PROCESSORPATH, ssePath ? 2 : 0);
    device->SetRenderState(RS_LIGHTING, 0);
    device->SetTransform(TS_PROJECTION, Perspective());

    // A receding floor: perspective-correct bilinear checker, modulated by Gouraud colours.
    device->SetTexture(0, checker.get());
    device->SetTextureStageState(0, TSS_MAGFILTER, TEXF_LINEAR);
    Draw(*device, {{-3, -1, 1, 0xFFFFFFFF, 0, 0}, {3, -1, 1, 0xFFFF8080, 4, 0}, {-3, 1, 4, 0xFF80FF80, 0, 6},
                   {3, -1, 1, 0xFFFF8080, 4, 0}, {3, 1, 4, 0xFF8080FF, 4, 6}, {-3, 1, 4, 0xFF80FF80, 0, 6}});

    // A point-sampled ramp standing across the floor: partly in front of it, partly behind.
    device->SetTexture(0, ramp.get());
    device->SetTextureStageState(0, TSS_MAGFILTER, TEXF_POINT);
    Draw(*device, {{-1.5f, -1.2f, 1.5f, 0xFFFFFFFF, 0, 0}, {1.5f, -1.2f, 3, 0xFFFFFFFF, 1, 0},
                   {0, 1.5f, 2, 0xFFFFFFFF, 0.5f, 1}});

    // Translucent panes over everything: blended with what is below, the second one also hidden
    // in part by the ramp.
    device->SetRenderState(RS_ALPHABLENDENABLE, 1);
    device->SetTextureStageState(0, TSS_COLORARG1, TA_DIFFUSE);
    device->SetTextureStageState(0, TSS_COLOROP, TOP_SELECTARG1);
    Draw(*device, {{-1.2f, 0.2f, 1.2f, 0x80FF2020, 0, 0}, {0.2f, 0.6f, 1.2f, 0x4020FF20, 0, 0},
                   {-0.8f, 1.1f, 1.2f, 0xC02020FF, 0, 0},
                   {0.1f, -0.9f, 2.5f, 0xA0FFFF00, 0, 0}, {2.4f, -0.2f, 2.5f, 0x60FF00FF, 0, 0},
                   {0.3f, 1.9f, 2.5f, 0x8000FFFF, 0, 0}});
    return target;
}

std::vector<unsigned char> BmpBytes(const Image* image) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    if (file == nullptr) return {};
    EXPECT_TRUE(writeBmp(file, image));
    std::vector<unsigned char> bytes(static_cast<std::size_t>(std::ftell(file)));
    std::rewind(file);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    return bytes;
}

std::vector<unsigned char> ReadFile(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        int ch;
        while ((ch = std::fgetc(file)) != EOF) bytes.push_back(static_cast<unsigned char>(ch));
        std::fclose(file);
    }
    return bytes;
}

TEST(ScanRegression, SceneMatchesTheReferencePictureOnEachPath) {
    const char* folder = std::getenv("FERROX_TEST_DATA");
    ASSERT_NE(folder, nullptr);
    const bool update = std::getenv("FERROX_UPDATE_REFERENCE") != nullptr;
    for (bool sse : {false, true}) {
        const auto picture = RenderScene(sse);
        const std::vector<unsigned char> bytes = BmpBytes(picture.get());
        const std::string path = std::string(folder) + (sse ? "/scan_regression_sse.bmp" : "/scan_regression_scalar.bmp");
        if (update) {
            ASSERT_TRUE(saveBmpFile(path.c_str(), picture.get(), 0)) << path;
        }
        const std::vector<unsigned char> reference = ReadFile(path);
        ASSERT_FALSE(reference.empty()) << "missing reference " << path;
        EXPECT_TRUE(bytes == reference) << "the picture differs from " << path;
    }
}

}  // namespace
