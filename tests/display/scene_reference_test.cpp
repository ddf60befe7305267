// One whole frame of the logo, rendered at a fixed time, against a committed picture: any change
// in the artwork, the scene's geometry or any stage of the renderer shows here. The picture is
// stored upright (the window's top row first) so it can be looked at as it is. To accept a
// deliberate change, run `FERROX_UPDATE_REFERENCE=1 ctest -R SceneReference`, look at the
// rewritten BMPs in tests/display/data and commit them.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "display/animation_scene.h"
#include "display/bitmap_handles.h"
#include "image/bmp_file.h"
#include "image/image.h"
#include "scene_fixture.h"

namespace {

struct ImageDeleter {
    void operator()(Image* image) const { destroyImage(image); }
};
using ImagePtr = std::unique_ptr<Image, ImageDeleter>;

class SceneReference : public WithBitmapResources {};

// The frame buffer's stored rows in window order: the buffer is bottom-up.
ImagePtr UprightCopy(const BITMAP& frame) {
    ImagePtr image(createImage(frame.bmWidth, frame.bmHeight, A8R8G8B8));
    if (!image) return image;
    for (int row = 0; row < frame.bmHeight; ++row) {
        const auto* source = static_cast<const std::uint8_t*>(frame.bmBits) +
                             std::size_t(frame.bmHeight - 1 - row) * frame.bmWidthBytes;
        std::memcpy(image->pixels + std::size_t(row) * image->pitch, source, std::size_t(frame.bmWidth) * 4);
    }
    return image;
}

std::vector<unsigned char> BmpBytes(const Image* image) {
    std::vector<unsigned char> bytes;
    std::FILE* file = std::tmpfile();
    if (file == nullptr) return bytes;
    if (writeBmp(file, image)) {
        bytes.resize(static_cast<std::size_t>(std::ftell(file)));
        std::rewind(file);
        if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) bytes.clear();
    }
    std::fclose(file);
    return bytes;
}

std::vector<unsigned char> ReadFile(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        for (int ch; (ch = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<unsigned char>(ch));
        std::fclose(file);
    }
    return bytes;
}

ImagePtr RenderFrameAtSixSeconds(bool sse) {
    AnimationScene scene;
    if (scene.Create() != 1) return nullptr;
    scene.m_device->SetRenderState(RS_PROCESSORPATH, sse ? 2 : 0);
    scene.StartAnimation();
    scene.m_time = 6.0f;
    if (scene.ResizeTarget(320, 240) != 1) return nullptr;
    scene.Update(0.1f);
    return UprightCopy(GetBitmapInfo(scene.m_frameBuffer));
}

// At 6 s of animation the logo and the glow are both half visible (alphas 127 and 128), so the
// picture exercises the background, both blends and the cross-fade at once.
TEST_F(SceneReference, FrameAtSixSecondsMatchesTheCommittedPictureOnEachPath) {
    const char* folder = std::getenv("FERROX_TEST_DATA");
    ASSERT_NE(folder, nullptr);
    const bool update = std::getenv("FERROX_UPDATE_REFERENCE") != nullptr;
    for (bool sse : {true, false}) {
        const ImagePtr picture = RenderFrameAtSixSeconds(sse);
        ASSERT_TRUE(picture);
        const std::vector<unsigned char> bytes = BmpBytes(picture.get());
        ASSERT_FALSE(bytes.empty());
        const std::string path = std::string(folder) + (sse ? "/scene_320x240_sse.bmp" : "/scene_320x240_scalar.bmp");
        if (update) {
            ASSERT_TRUE(saveBmpFile(path.c_str(), picture.get(), 0)) << path;
        }
        const std::vector<unsigned char> reference = ReadFile(path);
        ASSERT_FALSE(reference.empty()) << "missing reference " << path;
        EXPECT_TRUE(bytes == reference) << "the frame differs from " << path;
    }
}

// The two paths differ only in their rounding (texel addresses, bilinear weights and vertex
// colours convert toward negative infinity on the SSE path, to nearest on the plain one). The
// background covers every pixel, so coverage cannot differ; colours may differ by a level or two
// where a rounding lands on the other side, and the frame stays fully drawn on both.
TEST_F(SceneReference, ThePathsDifferOnlyByRoundingLevels) {
    const ImagePtr sse = RenderFrameAtSixSeconds(true);
    const ImagePtr plain = RenderFrameAtSixSeconds(false);
    ASSERT_TRUE(sse && plain);
    int largest[4] = {};
    long differing = 0;
    for (int row = 0; row < sse->height; ++row) {
        for (int x = 0; x < sse->width; ++x) {
            std::uint32_t a = 0, b = 0;
            std::memcpy(&a, sse->pixels + std::size_t(row) * sse->pitch + std::size_t(x) * 4, 4);
            std::memcpy(&b, plain->pixels + std::size_t(row) * plain->pitch + std::size_t(x) * 4, 4);
            if (a != b) ++differing;
            for (int channel = 0; channel < 4; ++channel) {
                const int d = std::abs(int(a >> (8 * channel) & 0xFF) - int(b >> (8 * channel) & 0xFF));
                largest[channel] = std::max(largest[channel], d);
            }
        }
    }
    std::printf("pixels differing between the paths: %ld of %d; largest difference B %d G %d R %d A %d\n",
                differing, sse->width * sse->height, largest[0], largest[1], largest[2], largest[3]);
    for (int channel = 0; channel < 4; ++channel) EXPECT_LE(largest[channel], 2) << "channel " << channel;
}

}  // namespace
