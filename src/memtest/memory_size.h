#pragma once
// How large the memory load's buffer is: what the user asked for (a size with its unit, a share
// of the available memory, or the default), and the rules that keep it within what the machine
// can give. Ferrox never takes more than the available memory less a margin for the system and the
// user's programs: 512 MiB or 5 % of all memory, whichever is larger.

#include <cstdint>
#include <string>

#include "platform/memory_status.h"

struct MemorySizeRequest {
    enum class Kind { Default, Bytes, Percent } kind = Kind::Default;
    std::uint64_t bytes = 0;  // Bytes
    double percent = 0.0;     // Percent: of the available memory, above 0 and up to 100
    bool operator==(const MemorySizeRequest&) const = default;
};

inline constexpr double kDefaultMemoryPercent = 70.0;
inline constexpr std::uint64_t kSmallestMemoryBuffer = 16ull << 20;
inline constexpr std::uint64_t kLeastMemoryMargin = 512ull << 20;
// Where the system says nothing of its memory, the default is this much.
inline constexpr std::uint64_t kMemoryWhenUnknown = 1ull << 30;

// "512M", "2G", "1.5G", "64MiB", "1T" (binary units: K, M, G, T, each optionally with iB), or "N%"
// (0 < N <= 100). False with the reason for anything else.
bool ParseMemorySize(const std::string& text, MemorySizeRequest* request, std::string* reason);

std::uint64_t MemoryMarginBytes(const MemoryStatus& status);

struct MemorySizeDecision {
    bool fits = false;
    std::uint64_t bytes = 0;  // whole 256 KiB blocks
    std::string problem;      // why it does not fit (lowercase, names what fits)
    std::string note;         // a default that had to be made smaller, or taken blind
};

// The buffer a request gets on a machine with status. An explicit size or share that does not fit
// is refused; the default is made to fit when it can.
MemorySizeDecision DecideMemorySize(const MemorySizeRequest& request, const MemoryStatus& status);

// "16.0 GiB", "512 MiB".
std::string FormatBytes(std::uint64_t bytes);
// "70%", "2G": the request as the user would give it; "default" for the default.
std::string DescribeMemoryRequest(const MemorySizeRequest& request);
