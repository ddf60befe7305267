#pragma once
// What the sensor readers make of the bytes and names they find, kept apart from the reading so
// that it can be fuzzed on its own (tests/fuzz): strict, and nothing rather than a guess.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A decimal integer, optionally negative, followed by nothing but whitespace.
std::optional<std::int64_t> ParseSysfsInteger(std::string_view text);
// The same for counters and energies, which are never negative and may pass 2^63.
std::optional<std::uint64_t> ParseSysfsUnsigned(std::string_view text);
// The first line without surrounding blanks, control bytes replaced by '?'; nothing when empty.
std::optional<std::string> ParseSysfsLabel(std::string_view text);
// The number in a name made of prefix, decimal digits and suffix ("hwmon10", "temp3_input").
std::optional<int> ParseNumberedName(std::string_view name, std::string_view prefix, std::string_view suffix);
// A powercap zone's numbers: "intel-rapl:0:1" -> {0, 1}; nothing for any other name.
std::optional<std::vector<int>> ParsePowercapZone(std::string_view name);
