// The vendor test and the feature flags.

#include <cpuid.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "load/cpu_feature.h"
#include "load/cpu_vendor.h"

TEST(CpuVendorTest, TableComparesAllTwelveBytes) {
    struct Case {
        const char* name;
        int vendor;
    };
    const Case cases[] = {
        {"GenuineIntel", CpuVendorIntel}, {"AuthenticAMD", CpuVendorAmd},  {"GenuineIntex", CpuVendorOther},
        {"AuthenticAMd", CpuVendorOther}, {"genuineintel", CpuVendorOther}, {"XenuineIntel", CpuVendorOther},
        {"CentaurHauls", CpuVendorOther}, {"HygonGenuine", CpuVendorOther}, {"            ", CpuVendorOther},
    };
    for (const Case& c : cases) EXPECT_EQ(CpuVendorFromString(c.name), c.vendor) << c.name;
    // Only the twelve bytes count: what follows them is not read.
    const char longer[] = "GenuineIntelXYZ";
    EXPECT_EQ(CpuVendorFromString(longer), CpuVendorIntel);
}

TEST(CpuVendorTest, ThisProcessorsVendorString) {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(0, eax, ebx, ecx, edx);
    char name[13] = {};
    std::memcpy(name, &ebx, 4);
    std::memcpy(name + 4, &edx, 4);
    std::memcpy(name + 8, &ecx, 4);
    const std::string vendor(name);
    const int expected = vendor == "GenuineIntel" ? 1 : vendor == "AuthenticAMD" ? 2 : 0;
    EXPECT_EQ(GetCpuVendor(), expected) << vendor;
}

TEST(CpuFeatureTest, FlagsFromEdxBits) {
    constexpr unsigned kMmx = 1u << 23, kFxsr = 1u << 24, kSse = 1u << 25;
    struct Case {
        unsigned edx;
        int mmx, fxsr, sse;
    };
    const Case cases[] = {
        {0, 0, 0, 0},
        {kMmx | kFxsr, 1, 1, 0},  // a processor without SSE
        {kMmx | kFxsr | kSse, 1, 1, 1},
        {kSse, 0, 0, 1},
        {~(kMmx | kFxsr | kSse), 0, 0, 0},  // neighbouring bits do not count
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CpuFeatureFromEdx(c.edx, CpuFeatureMmx), c.mmx) << std::hex << c.edx;
        EXPECT_EQ(CpuFeatureFromEdx(c.edx, CpuFeatureFxsr), c.fxsr) << std::hex << c.edx;
        EXPECT_EQ(CpuFeatureFromEdx(c.edx, CpuFeatureSse), c.sse) << std::hex << c.edx;
        EXPECT_EQ(CpuFeatureFromEdx(c.edx, CpuFeatureNone), 0);
    }
    EXPECT_EQ(CpuFeatureFromEdx(~0u, 4), 0);
    EXPECT_EQ(CpuFeatureFromEdx(~0u, -1), 0);
}

TEST(CpuFeatureTest, EveryX8664ProcessorHasMmxFxsrAndSse) {
    EXPECT_EQ(GetCpuFeature(CpuFeatureMmx), 1);
    EXPECT_EQ(GetCpuFeature(CpuFeatureFxsr), 1);
    EXPECT_EQ(GetCpuFeature(CpuFeatureSse), 1);
    EXPECT_EQ(GetCpuFeature(CpuFeatureNone), 0);
    EXPECT_EQ(GetCpuFeature(4), 0);
    EXPECT_EQ(GetCpuFeature(-1), 0);
}
