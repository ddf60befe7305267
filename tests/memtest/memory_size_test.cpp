// The memory load's size: what --memory accepts, and the rules that keep the buffer within what the
// machine can give (refused, or the default made smaller, with a message that says what fits).

#include <gtest/gtest.h>

#include "memtest/memory_arena.h"
#include "memtest/memory_size.h"

namespace {
constexpr std::uint64_t kMiB = 1ull << 20;
constexpr std::uint64_t kGiB = 1ull << 30;

MemoryStatus Machine(std::uint64_t total, std::uint64_t available) { return MemoryStatus{true, total, available}; }
}  // namespace

TEST(MemorySize, WhatTheOptionAccepts) {
    using Kind = MemorySizeRequest::Kind;
    const struct {
        const char* text;
        bool accepted;
        Kind kind;
        std::uint64_t bytes;
        double percent;
    } cases[] = {
        {"2G", true, Kind::Bytes, 2 * kGiB, 0}, {"512M", true, Kind::Bytes, 512 * kMiB, 0},
        {"64MiB", true, Kind::Bytes, 64 * kMiB, 0}, {"1.5G", true, Kind::Bytes, 3 * kGiB / 2, 0},
        {"2g", true, Kind::Bytes, 2 * kGiB, 0}, {"1T", true, Kind::Bytes, 1024 * kGiB, 0},
        {"4096K", true, Kind::Bytes, 4 * kMiB, 0}, {"10%", true, Kind::Percent, 0, 10.0},
        {"100%", true, Kind::Percent, 0, 100.0}, {"12.5%", true, Kind::Percent, 0, 12.5},
        {"0%", false, Kind::Default, 0, 0}, {"101%", false, Kind::Default, 0, 0}, {"2X", false, Kind::Default, 0, 0},
        {"", false, Kind::Default, 0, 0},       {"G", false, Kind::Default, 0, 0},  {"-1G", false, Kind::Default, 0, 0},
        {"2048", false, Kind::Default, 0, 0},   {"2GB", false, Kind::Default, 0, 0}, {"1.2.3G", false, Kind::Default, 0, 0},
        {"99999999999T", false, Kind::Default, 0, 0},
    };
    for (const auto& c : cases) {
        MemorySizeRequest request;
        std::string reason;
        EXPECT_EQ(ParseMemorySize(c.text, &request, &reason), c.accepted) << c.text;
        if (!c.accepted) {
            EXPECT_FALSE(reason.empty()) << c.text;
            continue;
        }
        EXPECT_EQ(request.kind, c.kind) << c.text;
        EXPECT_EQ(request.bytes, c.bytes) << c.text;
        EXPECT_EQ(request.percent, c.percent) << c.text;
    }
}

TEST(MemorySize, SizesAreRefusedOrMadeToFitWithMessages) {
    using Kind = MemorySizeRequest::Kind;
    const MemoryStatus big = Machine(24 * kGiB, 22 * kGiB);  // margin 1.2 GiB (5 %)
    const MemoryStatus small = Machine(2 * kGiB, 600 * kMiB);  // margin 512 MiB: 88 MiB fit
    const MemoryStatus unknown{};
    const struct {
        const char* what;
        MemorySizeRequest request;
        MemoryStatus status;
        bool fits;
        std::uint64_t bytes;
        const char* message;  // in problem (refused) or note (made to fit); "" for none
    } cases[] = {
        {"the default", {}, big, true, (22 * kGiB * 7 / 10) / kBlockBytes * kBlockBytes, ""},
        {"the default, made to fit", {}, small, true, 88 * kMiB, "less than default (70% of the available memory)"},
        {"the default with nothing left", {}, Machine(2 * kGiB, 520 * kMiB), false, 0, "too little memory is available"},
        {"the default, memory unknown", {}, unknown, true, 1 * kGiB, "does not say how much memory"},
        {"a size that fits", {Kind::Bytes, 2 * kGiB, 0}, big, true, 2 * kGiB, ""},
        {"a size rounded to blocks", {Kind::Bytes, 64 * kMiB + 200000, 0}, big, true, 64 * kMiB, ""},
        {"too large", {Kind::Bytes, 30 * kGiB, 0}, big, false, 0, "--memory 30.0 GiB does not fit: 22.0 GiB available, less Ferrox's margin of 1.2 GiB"},
        {"tiny", {Kind::Bytes, 1 * kMiB, 0}, big, false, 0, "--memory 1 MiB is too small: the memory load needs at least 16 MiB"},
        {"a share that fits", {Kind::Percent, 0, 50.0}, big, true, 11 * kGiB, ""},
        {"a share too large", {Kind::Percent, 0, 100.0}, big, false, 0, "--memory 100% (22.0 GiB) does not fit"},
        {"a share too small", {Kind::Percent, 0, 1.0}, small, false, 0, "is too small"},
        {"a share, memory unknown", {Kind::Percent, 0, 10.0}, unknown, false, 0, "give --memory a size such as 2G"},
        {"a size, memory unknown", {Kind::Bytes, 64 * kMiB, 0}, unknown, true, 64 * kMiB, ""},
    };
    for (const auto& c : cases) {
        const MemorySizeDecision decision = DecideMemorySize(c.request, c.status);
        EXPECT_EQ(decision.fits, c.fits) << c.what << ": " << decision.problem;
        if (c.fits) {
            EXPECT_EQ(decision.bytes, c.bytes) << c.what;
            EXPECT_EQ(decision.bytes % kBlockBytes, 0u) << c.what;
            if (c.status.known) {
                EXPECT_LE(decision.bytes + MemoryMarginBytes(c.status), c.status.availableBytes) << c.what;
            }
        }
        const std::string& said = c.fits ? decision.note : decision.problem;
        if (*c.message == '\0') {
            EXPECT_EQ(said, "") << c.what;
        } else {
            EXPECT_NE(said.find(c.message), std::string::npos) << c.what << ": " << said;
        }
    }
    EXPECT_EQ(MemoryMarginBytes(Machine(4 * kGiB, kGiB)), 512 * kMiB);
    EXPECT_EQ(MemoryMarginBytes(big), 24 * kGiB / 20);
}
