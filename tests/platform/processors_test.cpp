// The processors this process may use and where each sits, against what the kernel publishes:
// the affinity mask, and each processor's topology files in sysfs, read here on their own.

#include "platform/processors.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The number in a sysfs file; -1 when there is none.
int ReadNumber(const std::string& path) {
    std::ifstream file(path);
    int value = -1;
    return file >> value ? value : -1;
}

std::string TopologyFile(int processor, const char* name) {
    return "/sys/devices/system/cpu/cpu" + std::to_string(processor) + "/topology/" + name;
}

}  // namespace

TEST(ProcessorsTest, EachProcessorSitsWhereTheKernelSaysItDoes) {
    const std::vector<ProcessorPlace>& places = AllowedProcessors();
    ASSERT_FALSE(places.empty());
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
    bool coreAndPackageDiffer = false;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const ProcessorPlace& place = places[i];
        if (i > 0) {
            EXPECT_LT(places[i - 1].processor, place.processor) << "ascending, each once";
        }
        EXPECT_TRUE(CPU_ISSET(place.processor, &allowed)) << place.processor << " is not one this process may use";
        EXPECT_NE(ReadNumber("/sys/devices/system/cpu/cpu" + std::to_string(place.processor) + "/online"), 0)
            << place.processor << " is offline";
        const int core = ReadNumber(TopologyFile(place.processor, "core_id"));
        const int package = ReadNumber(TopologyFile(place.processor, "physical_package_id"));
        EXPECT_EQ(place.core, core) << "processor " << place.processor;
        EXPECT_EQ(place.package, package) << "processor " << place.processor;
        coreAndPackageDiffer = coreAndPackageDiffer || core != package;
    }
    int allowedCount = 0;
    for (int processor = 0; processor < CPU_SETSIZE; ++processor) {
        if (CPU_ISSET(processor, &allowed) &&
            ReadNumber("/sys/devices/system/cpu/cpu" + std::to_string(processor) + "/online") != 0)
            ++allowedCount;
    }
    EXPECT_EQ(places.size(), static_cast<std::size_t>(allowedCount)) << "every allowed online processor, none more";
    if (!coreAndPackageDiffer) {
        std::printf("note: every processor here has the same core and package number: a swap of the two cannot show\n");
    }
}

TEST(ProcessorsTest, PinningKeepsTheThreadOnItsProcessor) {
    const std::vector<ProcessorPlace>& places = AllowedProcessors();
    for (const ProcessorPlace& place : places) {
        ASSERT_EQ(PinCurrentThread(place.processor), TRUE) << place.processor;
        EXPECT_EQ(CurrentProcessor(), place.processor);
    }
    EXPECT_EQ(PinCurrentThread(-1), FALSE);
    ASSERT_EQ(UnpinCurrentThread(), TRUE);
    cpu_set_t mask;
    CPU_ZERO(&mask);
    ASSERT_EQ(sched_getaffinity(0, sizeof mask, &mask), 0);
    EXPECT_EQ(CPU_COUNT(&mask), static_cast<int>(places.size())) << "free again on every allowed processor";
}
