#pragma once
// Reading sysfs attribute files, which hold one value and a newline. Every reader opens the file
// afresh (a sysfs value is produced at open and read) through the root (monitor/sysfs_root.h) and
// gives nothing, never a made-up value, for a file that is missing, unreadable, not a regular
// file inside the tree, empty, too long or not exactly one number.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/sysfs_root.h"

// A decimal integer, optionally negative, followed by nothing but whitespace.
std::optional<std::int64_t> ReadSysfsInteger(const SysfsRoot& root, const std::string& path);
// The same for counters and energies, which are never negative and may pass 2^63.
std::optional<std::uint64_t> ReadSysfsUnsigned(const SysfsRoot& root, const std::string& path);
// The first line without surrounding blanks, control bytes replaced by '?'; nothing when the
// file is missing or the line is empty.
std::optional<std::string> ReadSysfsText(const SysfsRoot& root, const std::string& path);
// True when the file can be opened for reading now (an attribute only root may read cannot).
bool CanOpenForReading(const SysfsRoot& root, const std::string& path);

// The entries of a directory named prefix<decimal number>suffix, in increasing number: "hwmon10"
// comes after "hwmon2". Nothing for a directory that is missing or cannot be listed.
struct NumberedEntry {
    int number;
    std::string name;
};
std::vector<NumberedEntry> ListNumberedEntries(const SysfsRoot& root, const std::filesystem::path& directory,
                                               std::string_view prefix, std::string_view suffix = {});
