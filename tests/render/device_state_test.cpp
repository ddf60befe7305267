#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "device_test_support.h"
#include "raster/rasterizer.h"
#include "raster/span_stages.h"

namespace {

struct NumberAndValue {
    std::uint32_t number;
    std::uint32_t value;
};

void OtherConsumer(RenderDevice&, VertexBatch&) {}

TEST(DeviceStateTest, RenderStateDefaults) {
    auto device = MakeDevice();
    const NumberAndValue expected[] = {
        {RS_ZENABLE, 1},        {RS_FILLMODE, 3},      {RS_SHADEMODE, 2},          {RS_ZWRITEENABLE, 1},
        {RS_ALPHATESTENABLE, 0}, {RS_CULLMODE, 1},     {RS_ZFUNC, 4},              {RS_ALPHAREF, 0},
        {RS_ALPHAFUNC, 8},      {RS_ALPHABLENDENABLE, 0}, {RS_FOGENABLE, 0},       {RS_SPECULARENABLE, 0},
        {RS_FOGCOLOR, 0xFFFFFFFFu}, {RS_TEXTUREFACTOR, 0xFFFFFFFFu}, {RS_CLIPPING, 1}, {RS_LIGHTING, 1},
        {RS_AMBIENT, 0},        {RS_COLORVERTEX, 1},   {RS_NORMALIZENORMALS, 0},   {RS_VERTEXBLEND, 0},
        {RS_TWEENFACTOR, 0},    {RS_PROCESSORPATH, 2}, {RS_DEPTHTRIM, 1},          {RS_EDGEOVERLAY, 0},
        {0, 0},                 {100, 0},              {173, 0},
    };
    for (const NumberAndValue& entry : expected) {
        EXPECT_EQ(device->GetRenderState(entry.number), entry.value) << "state " << entry.number;
    }
    // Every marker starts set, so the first draw derives everything.
    EXPECT_EQ(device->renderStatesDirty, kDirty);
    EXPECT_EQ(device->renderStateDirty[RS_PROCESSORPATH], kDirty);
    EXPECT_EQ(device->renderStateDirty[RS_FOGCOLOR], kDirty);
}

TEST(DeviceStateTest, StageStateDefaults) {
    auto device = MakeDevice();
    struct StageDefault {
        std::uint32_t number;
        std::uint32_t stage0;
        std::uint32_t others;
    };
    const StageDefault expected[] = {
        {TSS_COLOROP, 4, 1},   {TSS_COLORARG1, 2, 2}, {TSS_COLORARG2, 1, 1}, {TSS_ALPHAOP, 2, 1},
        {TSS_ALPHAARG1, 2, 2}, {TSS_ALPHAARG2, 1, 1}, {TSS_ADDRESSU, 0, 0},  {TSS_ADDRESSV, 0, 0},
        {TSS_MAGFILTER, 1, 1}, {TSS_MINFILTER, 1, 1}, {TSS_MIPFILTER, 1, 1}, {TSS_MIPMAPLODBIAS, 0, 0},
        {TSS_MAXMIPLEVEL, 1, 1}, {TSS_TEXTURETRANSFORMFLAGS, 0, 0}, {36, 0, 0}, {40, 0, 0},
    };
    for (std::uint32_t stage = 0; stage < 4; ++stage) {
        for (const StageDefault& entry : expected) {
            EXPECT_EQ(device->GetTextureStageState(stage, entry.number), stage == 0 ? entry.stage0 : entry.others)
                << "stage " << stage << " state " << entry.number;
        }
        EXPECT_EQ(device->stages[stage].dirty, kDirty);
        for (const TextureLevel& level : device->stages[stage].levels) {
            EXPECT_EQ(level.pixels, nullptr);
            EXPECT_EQ(level.width, 0u);
        }
    }
}

TEST(DeviceStateTest, OtherDefaults) {
    auto device = MakeDevice();
    const Matrix4 identity = IdentityMatrix();
    EXPECT_TRUE(SameMatrix(device->world[0], identity));
    EXPECT_TRUE(SameMatrix(device->view, identity));
    EXPECT_TRUE(SameMatrix(device->projection, identity));
    for (const Matrix4& m : device->textureMatrix) EXPECT_TRUE(SameMatrix(m, identity));
    for (const Matrix4& m : device->composite) EXPECT_TRUE(SameMatrix(m, identity));
    const Matrix4 zero{};
    EXPECT_TRUE(SameMatrix(device->world[1], zero));
    EXPECT_TRUE(SameMatrix(device->world[255], zero));
    EXPECT_EQ(device->transformsDirty, kDirty);

    const Viewport& port = device->viewport;
    EXPECT_EQ(port.width, 0.0f);
    EXPECT_EQ(port.height, 0.0f);
    EXPECT_EQ(port.minZ, 0.0f);
    EXPECT_EQ(port.maxZ, 1.0f);
    EXPECT_EQ(port.farBound, 1e38f);
    EXPECT_EQ(port.changed, kDirty);

    const Light& light = device->lights[0];
    const float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float ambient[4] = {1.0f, 0.0f, 0.0f, 0.25f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(light.diffuse[i], diffuse[i]);
        EXPECT_EQ(light.ambient[i], ambient[i]);
    }
    EXPECT_EQ(light.direction[2], 1.0f);
    EXPECT_EQ(light.dirty, kDirty);

    EXPECT_EQ(device->renderTarget.bits, nullptr);
    EXPECT_EQ(device->depthBuffer.bits, nullptr);
    EXPECT_EQ(device->vertexFormat, 0u);
    for (const StreamSource& stream : device->streams) EXPECT_EQ(stream.data, nullptr);
    EXPECT_EQ(device->indices.data, nullptr);
    for (std::uint32_t i = 0; i < kStatisticCount; ++i) EXPECT_EQ(device->GetStatistic(i), 0u);
    for (SpanRoutine routine : device->alphaRoutines) EXPECT_EQ(routine, BlendSpan);
    EXPECT_EQ(device->batchConsumer, ClipAndRasterizeBatch);
}

TEST(DeviceStateTest, ResetRestoresDefaultsAndKeepsConsumerAndTag) {
    RenderDevice device(0x1234u);
    EXPECT_EQ(device.tag, 0x1234u);
    device.batchConsumer = OtherConsumer;
    device.SetRenderState(RS_ZENABLE, 0);
    device.SetRenderState(50, 9);
    device.SetTextureStageState(2, TSS_COLOROP, TOP_ADD);
    device.SetTransform(TS_WORLD0 + 7, NumberedMatrix(1.0f));
    device.SetVertexFormat(VF_XYZ);
    device.statistics[8] = 5;
    device.clipCount = 3;
    const std::uint8_t vertices[16] = {};
    device.SetStreamSource(3, vertices, VF_XYZ, 12);

    device.ResetState();
    EXPECT_EQ(device.GetRenderState(RS_ZENABLE), 1u);
    EXPECT_EQ(device.GetRenderState(50), 0u);
    EXPECT_EQ(device.GetTextureStageState(2, TSS_COLOROP), 1u);
    EXPECT_TRUE(SameMatrix(device.world[7], Matrix4{}));
    EXPECT_EQ(device.vertexFormat, 0u);
    EXPECT_EQ(device.GetStatistic(8), 0u);
    EXPECT_EQ(device.clipCount, 0);
    EXPECT_EQ(device.streams[3].data, nullptr);
    EXPECT_EQ(device.batchConsumer, OtherConsumer);
    EXPECT_EQ(device.tag, 0x1234u);
}

TEST(DeviceStateTest, RenderStateMarkersRiseOnlyOnChange) {
    auto device = MakeDevice();
    device->renderStateDirty[RS_ZENABLE] = 0;
    device->renderStatesDirty = 0;

    device->SetRenderState(RS_ZENABLE, 1);  // the value it already has
    EXPECT_EQ(device->renderStateDirty[RS_ZENABLE], 0u);
    EXPECT_EQ(device->renderStatesDirty, 0u);

    device->SetRenderState(RS_ZENABLE, 0);
    EXPECT_EQ(device->GetRenderState(RS_ZENABLE), 0u);
    EXPECT_EQ(device->renderStateDirty[RS_ZENABLE], kDirty);
    EXPECT_EQ(device->renderStatesDirty, kDirty);
}

TEST(DeviceStateTest, StageStateMarksOnlyOnChange) {
    auto device = MakeDevice();
    device->stages[1].dirty = 0;
    device->SetTextureStageState(1, TSS_COLOROP, 1);
    EXPECT_EQ(device->stages[1].dirty, 0u);
    device->SetTextureStageState(1, TSS_TEXTURETRANSFORMFLAGS, 0x102);  // stored unchanged
    EXPECT_EQ(device->GetTextureStageState(1, TSS_TEXTURETRANSFORMFLAGS), 0x102u);
    EXPECT_EQ(device->stages[1].dirty, kDirty);
    EXPECT_EQ(device->stages[0].dirty, kDirty);  // untouched since the reset
}

// Every byte of the device, padding included: a write one entry past a table lands in the member
// after it (the four-lane light after the lights, the index binding after the streams), inside the
// object, where AddressSanitizer cannot see it.
std::vector<std::uint8_t> DeviceBytes(const RenderDevice& device) {
    const auto* first = reinterpret_cast<const std::uint8_t*>(&device);
    return std::vector<std::uint8_t>(first, first + sizeof device);
}

TEST(DeviceStateTest, OutOfRangeNumbersAreIgnored) {
    auto device = MakeDevice();
    device->renderStatesDirty = 0;
    for (std::uint32_t stage = 0; stage < 4; ++stage) device->stages[stage].dirty = 0;
    device->statistics[0] = 4;
    const std::vector<std::uint8_t> before = DeviceBytes(*device);

    device->SetRenderState(174, 5);
    device->SetRenderState(0xFFFFFFFFu, 5);
    device->SetTextureStageState(4, TSS_COLOROP, 7);
    device->SetTextureStageState(0, 41, 7);
    device->SetTextureLevel(0, 8, nullptr);
    device->SetTextureLevel(4, 0, nullptr);
    device->ClearTextureStage(4);
    device->SetLightDiffuse(8, 9, 9, 9, 9);
    device->SetLightSpecular(8, 9, 9, 9, 9);
    device->SetLightAmbient(8, 9, 9, 9, 9);
    device->SetLightDirection(8, 1, 0, 0);
    device->SetLightParameter(8, 1);
    device->SetStreamSource(16, device.get(), VF_XYZ, 12);
    device->SetStreamTweenFormat(16, VF_XYZ);
    device->ResetStatistic(9);
    EXPECT_TRUE(DeviceBytes(*device) == before) << "a number outside its table changed the device";

    EXPECT_EQ(device->GetRenderState(174), 0u);
    EXPECT_EQ(device->GetRenderState(0xFFFFFFFFu), 0u);
    EXPECT_EQ(device->GetTextureStageState(4, TSS_COLOROP), 0u);
    EXPECT_EQ(device->GetTextureStageState(0, 41), 0u);
    EXPECT_EQ(device->GetStatistic(0), 4u);
    EXPECT_EQ(device->GetStatistic(9), 0u);
}

TEST(DeviceStateTest, LightDirectionIsNormalisedAndStreamsDropTweening) {
    auto device = MakeDevice();
    device->lights[0].dirty = 0;
    device->SetLightDirection(0, 0.0f, 3.0f, 4.0f);
    EXPECT_FLOAT_EQ(device->lights[0].direction[1], 0.6f);
    EXPECT_FLOAT_EQ(device->lights[0].direction[2], 0.8f);
    EXPECT_EQ(device->lights[0].dirty, kDirty);
    // A zero vector has no direction: it stays zero instead of turning into NaNs.
    device->SetLightDirection(1, 0.0f, 0.0f, 0.0f);
    for (float component : device->lights[1].direction) EXPECT_EQ(component, 0.0f);

    const std::uint8_t data[32] = {};
    device->SetStreamSource(2, data, VF_XYZ | VF_DIFFUSE, 16);
    device->SetStreamTweenFormat(2, VF_XYZ);
    EXPECT_EQ(device->streams[2].tweenFormat, VF_XYZ);
    device->SetStreamSource(2, data, VF_XYZ, 12);  // a new binding drops the tween format
    EXPECT_EQ(device->streams[2].tweenFormat, 0u);
    EXPECT_EQ(device->streams[2].stride, 12u);
}

}  // namespace
