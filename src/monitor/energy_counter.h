#pragma once
// Watts from two readings of an energy counter (microjoules) that wraps to 0 after its range.

#include <cstdint>
#include <optional>

// No processor package, its memory or the platform zone draws this much: a larger average is a
// counter that was reset or jumped, never power.
inline constexpr double kMostWatts = 2000.0;

// The average power between a reading `last` and a later reading `now` elapsedSeconds apart
// (elapsedSeconds > 0). A counter that went down counts as one wrap at range only when that gives
// a plausible power; otherwise (no range, a reset, a jump ahead) there is no value.
std::optional<double> AverageWatts(std::uint64_t last, std::uint64_t now, std::optional<std::uint64_t> range,
                                   double elapsedSeconds);
