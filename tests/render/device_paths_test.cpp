#include <gtest/gtest.h>

#include "device_test_support.h"
#include "load/cpu_feature.h"
#include "render/rounding_mode.h"

namespace {

std::uint32_t FlagIf(bool on) { return on ? kDirty : 0u; }

TEST(DevicePathsTest, LevelAndProcessorChooseThePaths) {
    const bool mmx = GetCpuFeature(CpuFeatureMmx) != 0;
    const bool sse = GetCpuFeature(CpuFeatureSse) != 0;
    struct Case {
        std::uint32_t level;
        bool mmxAllowed;
        bool sseAllowed;
    };
    const Case cases[] = {{0, false, false}, {1, true, false}, {2, true, true}, {3, true, true}};
    for (const Case& c : cases) {
        auto device = MakeDevice();
        device->SetRenderState(RS_PROCESSORPATH, c.level);
        device->PrepareViewport();
        EXPECT_EQ(device->mmxPath, FlagIf(c.mmxAllowed && mmx)) << c.level;
        EXPECT_EQ(device->ssePath, FlagIf(c.sseAllowed && sse)) << c.level;
        EXPECT_EQ(device->renderStateDirty[RS_PROCESSORPATH], 0u);
    }
}

TEST(DevicePathsTest, LoweringTheLevelKeepsMmxOn) {
    if (GetCpuFeature(CpuFeatureMmx) == 0 || GetCpuFeature(CpuFeatureSse) == 0) GTEST_SKIP() << "needs MMX and SSE";
    auto device = MakeDevice();
    device->PrepareViewport();  // default level 2
    EXPECT_EQ(device->ssePath, kDirty);
    EXPECT_EQ(device->mmxPath, kDirty);

    device->SetRenderState(RS_PROCESSORPATH, 0);
    device->PrepareViewport();
    EXPECT_EQ(device->ssePath, 0u);
    EXPECT_EQ(device->mmxPath, kDirty);

    // Without a marker the choice is not revisited.
    device->renderStates[RS_PROCESSORPATH] = 2;
    device->PrepareViewport();
    EXPECT_EQ(device->ssePath, 0u);
}

TEST(DevicePathsTest, ChoosingPathsLeavesTheRoundingModeAlone) {
    const MxcsrGuard callerMxcsr;
    for (RoundingMode mode : {RoundingMode::Nearest, RoundingMode::Up}) {
        SetRoundingMode(mode);
        auto device = MakeDevice();
        device->PrepareViewport();
        device->SelectProcessorPaths();
        EXPECT_EQ(GetRoundingMode(), mode);
    }
}

}  // namespace
