// The performance counter and the system information.

#include "platform/clock.h"

#include <gtest/gtest.h>

#include "platform/system_info.h"
#include "platform/thread.h"

TEST(ClockTest, CounterIsMonotonicAtItsStatedRate) {
    LARGE_INTEGER frequency{};
    ASSERT_EQ(QueryPerformanceFrequency(&frequency), TRUE);
    ASSERT_GT(frequency.QuadPart, 0);
    LARGE_INTEGER first{};
    LARGE_INTEGER second{};
    ASSERT_EQ(QueryPerformanceCounter(&first), TRUE);
    Sleep(20);
    ASSERT_EQ(QueryPerformanceCounter(&second), TRUE);
    // Sleep(20) lasts at least 20 ms.
    EXPECT_GE(second.QuadPart - first.QuadPart, frequency.QuadPart / 50);
    EXPECT_EQ(QueryPerformanceCounter(nullptr), FALSE);
    EXPECT_EQ(QueryPerformanceFrequency(nullptr), FALSE);
}

TEST(SystemInfoTest, ReportsUsableProcessors) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    EXPECT_GE(info.dwNumberOfProcessors, 1u);
    EXPECT_GE(info.dwPageSize, 4096u);
    EXPECT_EQ(info.dwPageSize & (info.dwPageSize - 1), 0u);
    EXPECT_NE(info.dwActiveProcessorMask, 0u);
    GetSystemInfo(nullptr);  // ignored
}
