// Guarded work: a real hardware fault inside it ends the work, not the program, on any thread, any
// number of times; outside a guard a fault is still a crash, noted before the process dies. Built
// for both backends (tests/platform and tests/platform_win32).

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/fault_guard.h"

namespace {

// Each a real fault raised by the processor, written in assembly so no compiler or sanitizer
// stands between the instruction and the fault.
void ReadUnmappedAddress(void*) {
    std::uint64_t value = 0;
    asm volatile("movq 0x40, %0" : "=r"(value) : : "memory");
}

void ExecuteIllegalInstruction(void*) { asm volatile("ud2"); }

void DivideByZero(void*) {
    asm volatile(
        "xor %%edx, %%edx\n\t"
        "mov $7, %%eax\n\t"
        "xor %%ecx, %%ecx\n\t"
        "div %%ecx"
        :
        :
        : "eax", "ecx", "edx", "cc");
}

void CountOnce(void* counter) { ++*static_cast<int*>(counter); }

// Leaves the x87 stack with two values on it and the SSE rounding toward zero, then faults: the
// guard must hand back the control state it found.
void DisturbFloatingPointThenFault(void*) {
    const std::uint32_t towardZero = 0x7F80;
    asm volatile("fld1\n\tfld1\n\tldmxcsr %0" : : "m"(towardZero));
    ReadUnmappedAddress(nullptr);
}

struct Case {
    void (*work)(void*);
    const char* nameStart;
    bool memory;
};

const Case kFaults[] = {
    {ReadUnmappedAddress, "invalid memory access", true},
    {ExecuteIllegalInstruction, "illegal instruction", false},
    {DivideByZero, "arithmetic trap", false},
};

void ExpectCaught(const Case& fault) {
    HardwareFault caught;
    ASSERT_FALSE(RunGuarded(fault.work, nullptr, &caught)) << fault.nameStart;
    EXPECT_EQ(std::string(caught.name).rfind(fault.nameStart, 0), 0u) << caught.name;
    EXPECT_NE(caught.code, 0);
    if (fault.memory) {
        EXPECT_EQ(caught.address, 0x40u);
    }
}

std::uint16_t X87TagWord() {
    unsigned char environment[28];
    asm volatile("fnstenv %0\n\tfldenv %0" : "=m"(environment));
    return static_cast<std::uint16_t>(environment[8] | environment[9] << 8);
}

}  // namespace

TEST(FaultGuard, EachKindOfFaultEndsOnlyTheWorkAgainAndAgain) {
    for (int round = 0; round < 20; ++round)
        for (const Case& fault : kFaults) ExpectCaught(fault);
    int counter = 0;
    EXPECT_TRUE(RunGuarded(CountOnce, &counter, nullptr));
    EXPECT_EQ(counter, 1) << "work that returns runs once and reports success";
}

TEST(FaultGuard, ThreadsFaultingAtTheSameTimeEachGetTheirOwn) {
    std::atomic<int> caught{0};
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&caught, &finished, thread] {
            for (int round = 0; round < 50; ++round) {
                const Case& fault = kFaults[(thread + round) % 3];
                HardwareFault seen;
                if (!RunGuarded(fault.work, nullptr, &seen) && std::string(seen.name).rfind(fault.nameStart, 0) == 0) ++caught;
                int counter = 0;
                if (RunGuarded(CountOnce, &counter, nullptr) && counter == 1) ++finished;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(caught.load(), 200);
    EXPECT_EQ(finished.load(), 200);
}

TEST(FaultGuard, TheFloatingPointControlStateComesBack) {
    std::uint32_t before = 0, after = 0;
    asm volatile("stmxcsr %0" : "=m"(before));
    HardwareFault fault;
    ASSERT_FALSE(RunGuarded(DisturbFloatingPointThenFault, nullptr, &fault));
    asm volatile("stmxcsr %0" : "=m"(after));
    EXPECT_EQ(after & 0xFFC0u, before & 0xFFC0u) << "the SSE control bits (the status flags may differ)";
    EXPECT_EQ(X87TagWord(), 0xFFFFu) << "the x87 stack must be empty again";
}

#if !defined(_WIN32)
// Outside any guard a fault is the crash it would have been, with one line on stderr and in the
// note file first. (Wine runs no death tests: Linux only.)
TEST(FaultGuardDeathTest, AFaultOutsideAGuardIsStillACrashAndIsNoted) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string note = testing::TempDir() + "fault_guard_note.log";
    std::remove(note.c_str());
    { std::ofstream create(note); }
    EXPECT_EXIT(
        {
            SetCrashNoteFile(note.c_str());
            ReadUnmappedAddress(nullptr);
        },
        testing::KilledBySignal(SIGSEGV), "crash: invalid memory access \\(SIGSEGV\\) at address 0x40");
    std::ifstream read(note);
    const std::string text((std::istreambuf_iterator<char>(read)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("crash: invalid memory access (SIGSEGV) at address 0x40 outside"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\n');
    std::remove(note.c_str());
}
#endif
