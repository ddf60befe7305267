#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "device_test_support.h"
#include "raster/color_ops.h"
#include "raster/pixel_writers.h"
#include "render/texel_fetch.h"

namespace {

// A device bound to a 320 x 240 target, drawing vertices with texture set 0, on the plain path
// unless a test asks for the SSE path.
struct PreparedDevice {
    std::vector<std::uint32_t> pixels;
    std::unique_ptr<RenderDevice> device = MakeDevice();

    explicit PreparedDevice(std::uint32_t width = 320, std::uint32_t height = 240)
        : pixels(static_cast<std::size_t>(width) * height) {
        device->SetRenderTarget(pixels.data(), width, height, X8R8G8B8, static_cast<std::int32_t>(width * 4));
        device->SetVertexFormat(VF_XYZ | VF_DIFFUSE | VF_TEX0);
        device->SetRenderState(RS_PROCESSORPATH, 0);
    }

    void Prepare() {
        device->PrepareViewport();
        device->CompileRasterState();
    }
    bool Sse() const { return device->ssePath != 0; }
};

const SpanContext& Span() { return g_spanContext; }

TEST(DrawPreparationTest, ViewportMatrixAndClipRectangle) {
    PreparedDevice prepared;
    RenderDevice& device = *prepared.device;
    device.SetViewport(10, 20, 100, 50, 0.25f, 0.75f);
    prepared.Prepare();
    const float rows[4][4] = {{50, 0, 0, 0}, {0, -25, 0, 0}, {0, 0, 0.5f, 0}, {59.5f, 44.5f, 0.25f, 1}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(device.viewportMatrix.m[r][c], rows[r][c]) << r << "," << c;
    EXPECT_EQ(device.viewport.changed, 0u);
    EXPECT_EQ(device.clipLeft, 10);
    EXPECT_EQ(device.clipTop, 20);
    EXPECT_EQ(device.clipRight, 110);
    EXPECT_EQ(device.clipBottom, 70);
    EXPECT_EQ(Span().clipLeft, 10);
    EXPECT_EQ(Span().clipTop, 20);
    EXPECT_EQ(Span().clipRight, 110);
    EXPECT_EQ(Span().clipBottom, 70);
    EXPECT_EQ(Span().minZ, 0.25f);
    EXPECT_EQ(Span().maxZ, 0.75f);
    // Projected (-1, +1) lands half a pixel before the viewport's corner.
    const float x = -1.0f * device.viewportMatrix.m[0][0] + device.viewportMatrix.m[3][0];
    const float y = 1.0f * device.viewportMatrix.m[1][1] + device.viewportMatrix.m[3][1];
    EXPECT_EQ(x, 9.5f);
    EXPECT_EQ(y, 19.5f);
}

TEST(DrawPreparationTest, ClipRectangleStaysInsideBothBuffers) {
    PreparedDevice prepared(40, 30);
    RenderDevice& device = *prepared.device;
    std::vector<std::uint32_t> depth(20 * 10);
    device.SetDepthBuffer(depth.data(), 20, 10, ZBUFFER32, 80);
    prepared.Prepare();
    EXPECT_EQ(Span().clipLeft, 0);
    EXPECT_EQ(Span().clipRight, 20);
    EXPECT_EQ(Span().clipTop, 0);
    EXPECT_EQ(Span().clipBottom, 10);
    EXPECT_EQ(Span().depth.bits, reinterpret_cast<std::uint8_t*>(depth.data()));
    EXPECT_EQ(Span().depthPitch, 80);
    EXPECT_EQ(Span().depthBytesPerPixel, 4);

    // Without a depth buffer nothing may be drawn.
    device.SetDepthBuffer(nullptr, 0, 0, UNKNOWN, 0);  // makes an owned one again...
    device.ReleaseDepthBuffer();                       // ...which is then dropped
    prepared.Prepare();
    EXPECT_EQ(Span().clipRight, Span().clipLeft);
    EXPECT_EQ(Span().clipBottom, Span().clipTop);
}

// The fog scale is the reciprocal of the far bound on both paths, and the same on both: 1 / 1e38 is
// too small for a normal float, so it is zero (the SSE reciprocal flushes such results), never the
// subnormal that would put every fogged pixel on the processor's slow path.
TEST(DrawPreparationTest, FogConstantsOnBothPaths) {
    PreparedDevice prepared;
    RenderDevice& device = *prepared.device;
    device.SetRenderState(RS_FOGCOLOR, 0x80402010u);
    device.SetRenderState(RS_PROCESSORPATH, 2);
    prepared.Prepare();
    if (!prepared.Sse()) GTEST_SKIP() << "needs SSE";
    const float sseScale = Span().fogScale[0];
    EXPECT_EQ(Span().fogColor[1], 0x20);
    EXPECT_EQ(Span().fogColor[2], 0x40);

    device.SetRenderState(RS_PROCESSORPATH, 0);
    prepared.Prepare();
    ASSERT_FALSE(prepared.Sse());
    for (float scale : Span().fogScale) {
        EXPECT_EQ(BitsFromFloat(scale), BitsFromFloat(sseScale));
        EXPECT_NE(std::fpclassify(scale), FP_SUBNORMAL) << scale;
        EXPECT_EQ(1.0f + 1e30f * scale, 1.0f);  // the far bound leaves every depth unfogged
    }
    const bool mmx = device.mmxPath != 0;
    EXPECT_EQ(device.fogColor, 0x80402010u);
    EXPECT_EQ(Span().fogColor[0], mmx ? 0x10 : 0);
    EXPECT_EQ(Span().fogColor[3], mmx ? 0x80 : 0);
}

TEST(DrawPreparationTest, SamplingBlockOfANonPowerOfTwoTexture) {
    PreparedDevice prepared;
    RenderDevice& device = *prepared.device;
    TexturePtr texture = MakeTexture(100, 60, A8R8G8B8, 1);
    ASSERT_NE(texture, nullptr);
    device.SetTexture(0, texture.get());
    prepared.Prepare();
    const StageSampling& sampling = Span().sampling[0];
    for (int lane = 0; lane < 4; ++lane) {
        EXPECT_EQ(sampling.width[lane], 64.0f);
        EXPECT_EQ(sampling.height[lane], 32.0f);
        EXPECT_EQ(sampling.columnMask[lane], 63);
        EXPECT_EQ(sampling.rowMask[lane], 1984);
        EXPECT_EQ(sampling.one[lane], 1);
        EXPECT_EQ(sampling.rowLength[lane], 64);
        EXPECT_EQ(sampling.zero[lane], 0);
        EXPECT_EQ(sampling.log2Width[lane], lane == 0 ? 6 : 0);
    }
    EXPECT_EQ(sampling.pixels, reinterpret_cast<const Color32*>(texture->getLevel(0)->pixels));
    EXPECT_EQ(Span().stageFetch[0], PointFetchRoutine(0, false));
    EXPECT_EQ(Span().interpolateTex[0], 0xFFFFFFFFu);
    EXPECT_EQ(Span().interpolateTex[1], 0u);
    EXPECT_EQ(Span().stageArg1Base[0], Span().texelArray);
    EXPECT_EQ(Span().stageArg2Base[0], Span().diffuseArray);  // "current" of stage 0
    EXPECT_EQ(Span().stageOp[0], ColorOpRoutine(TOP_MODULATE, false));
    EXPECT_EQ(Span().stageOp[1], ColorOpRoutine(TOP_DISABLE, false));
    EXPECT_EQ(device.stages[0].dirty, 0u);
    EXPECT_EQ(device.renderStatesDirty, 0u);
}

TEST(DrawPreparationTest, DeeperLevelsNeverChangeTheSamplingBlock) {
    PreparedDevice prepared;
    RenderDevice& device = *prepared.device;
    TexturePtr texture = MakeTexture(64, 32, X8R8G8B8, 4);
    ASSERT_NE(texture, nullptr);
    device.SetTexture(0, texture.get());
    for (std::uint32_t levels : {0u, 1u, 4u, 8u, 100u}) {
        device.SetTextureStageState(0, TSS_MAXMIPLEVEL, levels);
        device.stages[0].dirty = kDirty;
        prepared.Prepare();
        EXPECT_EQ(Span().sampling[0].width[0], 64.0f) << levels;
        EXPECT_EQ(Span().sampling[0].rowMask[0], 31 * 64) << levels;
        EXPECT_EQ(Span().sampling[0].pixels, reinterpret_cast<const Color32*>(texture->getLevel(0)->pixels));
        EXPECT_EQ(Span().stageFetch[0], PointFetchRoutine(0, false)) << levels;
    }
}

TEST(DrawPreparationTest, TexelsThatCannotBeSampledReadOpaqueWhite) {
    struct Case {
        PixelFormat format;
        int width, height;
        std::int32_t pitchOverride;  // 0 keeps the image's pitch
    };
    const Case cases[] = {
        {A4R4G4B4, 16, 16, 0},  // 16-bit texels
        {R8G8B8, 16, 16, 0},
        {A8R8G8B8, 16, 16, 32},  // rows shorter than the sampled width
        {A8R8G8B8, 16, 16, -64},
    };
    for (const Case& c : cases) {
        PreparedDevice prepared;
        RenderDevice& device = *prepared.device;
        TexturePtr texture = MakeTexture(c.width, c.height, c.format, 1);
        ASSERT_NE(texture, nullptr);
        device.SetTexture(0, texture.get());
        if (c.pitchOverride != 0) device.stages[0].levels[0].pitch = c.pitchOverride;
        prepared.Prepare();
        EXPECT_EQ(Span().stageFetch[0], FetchNoTexels) << c.format;
        EXPECT_EQ(Span().stageArg1Base[0], Span().constantArray) << c.format;
        EXPECT_EQ(Span().interpolateTex[0], 0u);
        EXPECT_EQ(Span().sampling[0].pixels, nullptr);
    }
    // No texture at all: the same.
    PreparedDevice bare;
    bare.Prepare();
    EXPECT_EQ(Span().stageArg1Base[0], Span().constantArray);
    EXPECT_EQ(Span().stageFetch[0], FetchNoTexels);
    EXPECT_EQ(Span().constantArray[0], 0xFFFFFFFFu);
    EXPECT_EQ(Span().constantArray[kSpanArrayLength - 1], 0xFFFFFFFFu);
}

TEST(DrawPreparationTest, ArgumentsChooseTheirColourArrays) {
    PreparedDevice prepared;
    RenderDevice& device = *prepared.device;
    TexturePtr texture = MakeTexture(8, 8, A8R8G8B8, 1);
    ASSERT_NE(texture, nullptr);
    device.SetTexture(0, texture.get());
    device.SetTexture(1, texture.get());
    SpanContext& span = g_spanContext;
    struct Case {
        std::uint32_t argument;
        Color32* stage0;
        Color32* stage1;
    };
    const Case cases[] = {
        {TA_DIFFUSE, span.diffuseArray, span.diffuseArray},    {TA_CURRENT, span.diffuseArray, span.currentArray},
        {TA_TEXTURE, span.texelArray, span.texelArray},        {TA_TFACTOR, span.texelArray, span.texelArray},
        {TA_SPECULAR, span.specularArray, span.specularArray},
    };
    for (const Case& c : cases) {
        for (std::uint32_t stage : {0u, 1u}) {
            device.SetTextureStageState(stage, TSS_COLORARG1, c.argument);
            device.SetTextureStageState(stage, TSS_COLORARG2, c.argument);
        }
        prepared.Prepare();
        EXPECT_EQ(span.stageArg1Base[0], c.stage0) << c.argument;
        EXPECT_EQ(span.stageArg2Base[0], c.stage0) << c.argument;
        EXPECT_EQ(span.stageArg1Base[1], c.stage1) << c.argument;
    }
    // A larger value keeps the previous choice.
    device.SetTextureStageState(1, TSS_COLORARG1, 9);
    prepared.Prepare();
    EXPECT_EQ(span.stageArg1Base[1], span.specularArray);

    // With the vertex colour switched off, diffuse arguments read opaque white.
    device.SetTextureStageState(1, TSS_COLORARG1, TA_DIFFUSE);
    device.SetTextureStageState(1, TSS_COLORARG2, TA_TEXTURE);
    device.SetRenderState(RS_COLORVERTEX, 0);
    prepared.Prepare();
    EXPECT_EQ(span.stageArg1Base[1], span.constantArray);
    EXPECT_EQ(span.stageArg2Base[1], span.texelArray);
    EXPECT_EQ(span.colorVertex, 0u);
    device.SetRenderState(RS_COLORVERTEX, 1);  // recompiles the stage without a stage change
    prepared.Prepare();
    EXPECT_EQ(span.stageArg1Base[1], span.diffuseArray);
}

TEST(DrawPreparationTest, MagnificationFilterSwitchesToBilinear) {
    PreparedDevice prepared;
    RenderDevice& device = *prepared.device;
    TexturePtr texture = MakeTexture(32, 32, X8R8G8B8, 1);
    ASSERT_NE(texture, nullptr);
    device.SetTexture(0, texture.get());
    prepared.Prepare();
    EXPECT_EQ(Span().stageFetch[0], PointFetchRoutine(0, false));
    for (std::uint32_t n = 36; n <= 40; ++n) EXPECT_EQ(device.GetTextureStageState(0, n), 0u);

    device.SetTextureStageState(0, TSS_MAGFILTER, TEXF_LINEAR);
    prepared.Prepare();
    EXPECT_EQ(Span().stageFetch[0], BilinearFetchRoutine(0, false));
    for (std::uint32_t n = 36; n <= 40; ++n) EXPECT_EQ(FloatFromBits(device.GetTextureStageState(0, n)), -0.5f);

    device.SetTextureStageState(0, TSS_MAGFILTER, TEXF_POINT);
    prepared.Prepare();
    EXPECT_EQ(Span().stageFetch[0], PointFetchRoutine(0, false));
    EXPECT_EQ(device.GetTextureStageState(0, 38), 0u);

    // Without texture set 0 in the vertices nothing is fetched.
    device.SetVertexFormat(VF_XYZ);
    prepared.Prepare();
    EXPECT_EQ(Span().stageFetch[0], FetchNoTexels);
    EXPECT_EQ(Span().interpolateTex[0], 0u);
}

TEST(DrawPreparationTest, PixelWriterFollowsTheTarget) {
    PreparedDevice prepared;
    RenderDevice& device = *prepared.device;
    prepared.Prepare();
    std::int32_t bytes = 0;
    const SpanRoutine writer = PixelWriterRoutine(X8R8G8B8, false, &bytes);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(Span().pixelWriter, writer);
    EXPECT_EQ(Span().colorBytesPerPixel, 4);

    std::vector<std::uint16_t> wide(320 * 240);
    device.SetRenderTarget(wide.data(), 320, 240, R5G6B5, 640);
    prepared.Prepare();
    const SpanRoutine writer565 = PixelWriterRoutine(R5G6B5, false, &bytes);
    ASSERT_NE(writer565, nullptr);
    EXPECT_EQ(Span().pixelWriter, writer565);
    EXPECT_EQ(Span().colorBytesPerPixel, 2);
    EXPECT_EQ(Span().target.bits, reinterpret_cast<std::uint8_t*>(wide.data()));
    EXPECT_EQ(Span().colorPitch, 640);

    // A format without a writer binds no target: nothing is written and the rectangle is empty.
    device.SetRenderTarget(prepared.pixels.data(), 320, 240, R8G8B8, 960);
    prepared.Prepare();
    EXPECT_EQ(Span().pixelWriter, WriteNoPixels);
    EXPECT_EQ(Span().target.bits, nullptr);
    EXPECT_EQ(Span().clipRight, Span().clipLeft);
    EXPECT_EQ(Span().clipBottom, Span().clipTop);
}

TEST(DrawPreparationTest, StageChangeLeavesRenderStateCopiesAlone) {
    PreparedDevice prepared;
    RenderDevice& device = *prepared.device;
    prepared.Prepare();
    g_spanContext.zEnable = 77;  // a marker the compile would overwrite
    g_spanContext.spanCount = 9;
    g_spanContext.pixelTotal = 9;
    device.SetTextureStageState(0, TSS_COLOROP, TOP_ADD);
    prepared.Prepare();
    EXPECT_EQ(g_spanContext.zEnable, 77u);
    EXPECT_EQ(g_spanContext.stageOp[0], ColorOpRoutine(TOP_ADD, false));
    EXPECT_EQ(g_spanContext.spanCount, 0u);
    EXPECT_EQ(g_spanContext.pixelTotal, 0u);

    device.SetRenderState(RS_ZENABLE, 0);
    prepared.Prepare();
    EXPECT_EQ(g_spanContext.zEnable, 0u);
}

TEST(DrawPreparationTest, RenderStateCopiesAndInterpolationFlags) {
    PreparedDevice prepared;
    RenderDevice& device = *prepared.device;
    const std::uint32_t states[][2] = {{RS_ZENABLE, 0},      {RS_ZWRITEENABLE, 0},      {RS_DEPTHTRIM, 0},
                                       {RS_FOGENABLE, 1},    {RS_ALPHABLENDENABLE, 1},  {RS_ALPHATESTENABLE, 1},
                                       {RS_ALPHAREF, 0x80},  {RS_SHADEMODE, SHADE_PHONG}, {RS_ALPHAFUNC, 5}};
    for (const auto& state : states) device.SetRenderState(state[0], state[1]);
    prepared.Prepare();
    const SpanContext& span = Span();
    EXPECT_EQ(span.zEnable, 0u);
    EXPECT_EQ(span.zWriteEnable, 0u);
    EXPECT_EQ(span.depthTrimEnable, 0u);
    EXPECT_EQ(span.fogEnable, 1u);
    EXPECT_EQ(span.alphaBlendEnable, 1u);
    EXPECT_EQ(span.alphaTestEnable, 1u);
    EXPECT_EQ(span.alphaRef, 0x80u);
    EXPECT_EQ(span.shadeMode, SHADE_PHONG);
    EXPECT_EQ(span.alphaFunc, device.alphaRoutines[5]);
    EXPECT_EQ(span.vertexFormat, VF_XYZ | VF_DIFFUSE | VF_TEX0);

    struct Case {
        std::uint32_t shadeMode, specular;
        VertexFormat format;
        bool normal, diffuse, specularFlag;
    };
    const Case cases[] = {
        {SHADE_GOURAUD, 0, VF_XYZ | VF_DIFFUSE, false, true, false},
        {SHADE_GOURAUD, 0, VF_XYZ, false, false, false},
        {SHADE_FLAT, 0, VF_XYZ | VF_DIFFUSE, false, false, false},
        {SHADE_PHONG, 0, VF_XYZ | VF_NORMAL | VF_DIFFUSE, true, false, false},
        {SHADE_PHONG, 0, VF_XYZ | VF_DIFFUSE, false, false, false},
        {SHADE_GOURAUD, 1, VF_XYZ | VF_SPECULAR, false, false, true},
        {SHADE_GOURAUD, 1, VF_XYZ, false, false, false},
    };
    for (const Case& c : cases) {
        device.SetRenderState(RS_SHADEMODE, c.shadeMode);
        device.SetRenderState(RS_SPECULARENABLE, c.specular);
        device.SetVertexFormat(c.format);
        prepared.Prepare();
        EXPECT_EQ(span.interpolateNormal != 0, c.normal) << c.shadeMode << " " << c.format;
        EXPECT_EQ(span.interpolateDiffuse != 0, c.diffuse) << c.shadeMode << " " << c.format;
        EXPECT_EQ(span.interpolateSpecular != 0, c.specularFlag) << c.shadeMode << " " << c.format;
    }

    // Alpha functions past "always" have no entry of their own.
    device.alphaRoutines[8] = WriteNoPixels;
    device.SetRenderState(RS_ALPHAFUNC, 1000);
    prepared.Prepare();
    EXPECT_EQ(span.alphaFunc, WriteNoPixels);
}

TEST(DrawPreparationTest, PathChangeChoosesRoutinesAgain) {
    PreparedDevice prepared;
    RenderDevice& device = *prepared.device;
    TexturePtr texture = MakeTexture(16, 16, A8R8G8B8, 1);
    ASSERT_NE(texture, nullptr);
    device.SetTexture(0, texture.get());
    prepared.Prepare();
    EXPECT_EQ(Span().ssePath, 0u);
    EXPECT_EQ(Span().stageOp[0], ColorOpRoutine(TOP_MODULATE, false));
    EXPECT_EQ(Span().stageFetch[0], PointFetchRoutine(0, false));

    device.SetRenderState(RS_PROCESSORPATH, 2);
    prepared.Prepare();
    const bool sse = prepared.Sse();
    EXPECT_EQ(Span().ssePath, device.ssePath);
    EXPECT_EQ(Span().stageOp[0], ColorOpRoutine(TOP_MODULATE, sse));
    EXPECT_EQ(Span().stageFetch[0], PointFetchRoutine(0, sse));
}

TEST(DrawPreparationTest, TwoDevicesNeverSeeEachOthersState) {
    PreparedDevice first(320, 240);
    PreparedDevice second(64, 32);
    TexturePtr big = MakeTexture(128, 64, A8R8G8B8, 1);
    TexturePtr small = MakeTexture(8, 4, A8R8G8B8, 1);
    ASSERT_NE(big, nullptr);
    ASSERT_NE(small, nullptr);
    first.device->SetTexture(0, big.get());
    first.device->SetRenderState(RS_ZENABLE, 0);
    first.device->SetTextureStageState(0, TSS_MAGFILTER, TEXF_LINEAR);
    second.device->SetTexture(0, small.get());
    second.device->SetRenderState(RS_FOGENABLE, 1);
    second.device->SetViewport(4, 4, 16, 16, 0.0f, 1.0f);

    for (int round = 0; round < 3; ++round) {
        // Nothing is dirty any more after the first round: the switch of device alone recompiles.
        first.Prepare();
        EXPECT_EQ(Span().compiledFor, first.device.get());
        EXPECT_EQ(Span().zEnable, 0u);
        EXPECT_EQ(Span().fogEnable, 0u);
        EXPECT_EQ(Span().sampling[0].width[0], 128.0f);
        EXPECT_EQ(Span().sampling[0].pixels, reinterpret_cast<const Color32*>(big->getLevel(0)->pixels));
        EXPECT_EQ(Span().stageFetch[0], BilinearFetchRoutine(0, false));
        EXPECT_EQ(Span().target.width, 320u);
        EXPECT_EQ(Span().clipRight, 320);
        EXPECT_EQ(Span().clipBottom, 240);

        second.Prepare();
        EXPECT_EQ(Span().compiledFor, second.device.get());
        EXPECT_EQ(Span().zEnable, 1u);
        EXPECT_EQ(Span().fogEnable, 1u);
        EXPECT_EQ(Span().sampling[0].width[0], 8.0f);
        EXPECT_EQ(Span().sampling[0].columnMask[0], 7);
        EXPECT_EQ(Span().sampling[0].pixels, reinterpret_cast<const Color32*>(small->getLevel(0)->pixels));
        EXPECT_EQ(Span().stageFetch[0], PointFetchRoutine(0, false));
        EXPECT_EQ(Span().target.width, 64u);
        EXPECT_EQ(Span().clipLeft, 4);
        EXPECT_EQ(Span().clipRight, 20);
    }
}

}  // namespace
