// Processors on Windows: the allowed list with its cores and packages, and pinning the calling
// thread, checked against where Windows says the thread runs.

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <bit>
#include <set>
#include <utility>

#include "platform/processors.h"
#include "platform/win32/kernel_calls.h"

TEST(Win32Processors, TheAllowedListMatchesTheAffinityAndHasATopology) {
    const std::vector<ProcessorPlace>& places = AllowedProcessors();
    ASSERT_FALSE(places.empty());
    DWORD_PTR processMask = 0, systemMask = 0;
    ASSERT_TRUE(GetProcessAffinityMask(kernel::CurrentProcess(), &processMask, &systemMask));
    std::set<std::pair<int, int>> cores;
    int previous = -1;
    for (const ProcessorPlace& place : places) {
        EXPECT_GT(place.processor, previous) << "ascending, each once";
        previous = place.processor;
        // One processor group on every machine this runs on: Ferrox's numbers are the mask's bits.
        EXPECT_TRUE(place.processor < 64 && (processMask >> place.processor & 1)) << place.processor;
        EXPECT_GE(place.core, 0) << place.processor;
        EXPECT_GE(place.package, 0) << place.processor;
        cores.insert({place.package, place.core});
    }
    EXPECT_EQ(static_cast<std::size_t>(std::popcount(static_cast<std::uint64_t>(processMask))), places.size());
    EXPECT_LE(cores.size(), places.size());
}

TEST(Win32Processors, APinnedThreadRunsWhereItWasPinned) {
    for (const ProcessorPlace& place : AllowedProcessors()) {
        ASSERT_TRUE(PinCurrentThread(place.processor)) << place.processor;
        for (int look = 0; look < 20; ++look) {
            EXPECT_EQ(CurrentProcessor(), place.processor);
            EXPECT_EQ(static_cast<int>(GetCurrentProcessorNumber()), place.processor);
            SleepNative(look % 2);  // rescheduled in between
        }
    }
    EXPECT_TRUE(UnpinCurrentThread());
    GROUP_AFFINITY affinity{};
    ASSERT_TRUE(GetThreadGroupAffinity(kernel::CurrentThread(), &affinity));
    DWORD_PTR processMask = 0, systemMask = 0;
    GetProcessAffinityMask(kernel::CurrentProcess(), &processMask, &systemMask);
    EXPECT_EQ(affinity.Mask, processMask) << "every allowed processor again";
    EXPECT_FALSE(PinCurrentThread(-1));
    EXPECT_FALSE(PinCurrentThread(AllowedProcessors().back().processor + 64));
}
