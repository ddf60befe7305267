// The memory load's platform functions, the same test for both backends: the available memory, a
// large buffer aligned, writable and given back in parts, the caches of a processor, and (Linux)
// physical addresses as root and the out-of-memory preference.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "platform/cache_topology.h"
#include "platform/large_buffer.h"
#include "platform/memory_status.h"

#ifndef _WIN32
#include <unistd.h>  // geteuid: only this test asks who it runs as
#endif

TEST(MemorySystem, TheAvailableMemoryIsKnownAndBelowTheTotal) {
    const MemoryStatus status = ReadMemoryStatus();
    ASSERT_TRUE(status.known);
    EXPECT_GT(status.totalBytes, 64ull << 20);
    EXPECT_GT(status.availableBytes, 0u);
    EXPECT_LE(status.availableBytes, status.totalBytes);
}

TEST(MemorySystem, ALargeBufferIsAlignedWritableAndGivenBackInParts) {
    constexpr std::size_t kBytes = 8u << 20;
    LargeBuffer buffer;
    std::string error;
    ASSERT_TRUE(AllocateLargeBuffer(kBytes, &buffer, &error)) << error;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.base) % (2u << 20), 0u) << "aligned to huge pages";
    EXPECT_EQ(buffer.bytes, kBytes);
    EXPECT_EQ(buffer.locked, buffer.lockProblem.empty()) << buffer.lockProblem;
    std::memset(buffer.base, 0xA5, kBytes);
    EXPECT_EQ(buffer.base[kBytes - 1], 0xA5);
    // The second half given back; the first keeps what was written.
    ReleaseBufferRange(buffer, kBytes / 2, kBytes / 2);
    EXPECT_EQ(buffer.base[0], 0xA5);
    EXPECT_EQ(buffer.base[kBytes / 2 - 1], 0xA5);
    FreeLargeBuffer(&buffer);
    EXPECT_EQ(buffer.base, nullptr);
    EXPECT_FALSE(AllocateLargeBuffer(0, &buffer, &error));
}

TEST(MemorySystem, AProcessorsCachesAreListedLowestFirst) {
    const std::vector<CacheLevel> caches = ProcessorCaches(0);
    if (caches.empty()) GTEST_SKIP() << "the system lists no caches";
    for (std::size_t i = 0; i < caches.size(); ++i) {
        EXPECT_GT(caches[i].bytes, 0u);
        EXPECT_GE(caches[i].sharedBy, 1);
        if (i > 0) {
            EXPECT_GE(caches[i].level, caches[i - 1].level);
        }
    }
    EXPECT_EQ(caches.front().level, 1);
    EXPECT_TRUE(ProcessorCaches(-1).empty());
}

#ifndef _WIN32
TEST(MemorySystem, PhysicalAddressesAsRootAndTheOutOfMemoryPreference) {
    LargeBuffer buffer;
    std::string error;
    ASSERT_TRUE(AllocateLargeBuffer(4u << 20, &buffer, &error)) << error;
    buffer.base[100] = 1;
    const std::uint64_t physical = PhysicalAddressOf(buffer.base + 100);
    if (geteuid() == 0) {
        EXPECT_NE(physical, 0u);
        EXPECT_EQ(physical % 4096, 100u) << "the offset within the page is kept";
    } else {
        EXPECT_EQ(physical, 0u) << "frame numbers are hidden from ordinary users";
    }
    FreeLargeBuffer(&buffer);
    EXPECT_EQ(PreferThisProcessWhenOutOfMemory(), "");
    std::ifstream score("/proc/self/oom_score_adj");
    int value = 0;
    score >> value;
    EXPECT_EQ(value, 1000);
}
#else
TEST(MemorySystem, WindowsTellsNoPhysicalAddress) {
    int word = 0;
    EXPECT_EQ(PhysicalAddressOf(&word), 0u);
    EXPECT_EQ(PreferThisProcessWhenOutOfMemory(), "");
}
#endif
