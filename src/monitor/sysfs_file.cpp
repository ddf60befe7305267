// Sysfs attribute readers: one bounded read through the root, strict parsing.

#include "monitor/sysfs_file.h"

#include <algorithm>

#include "monitor/sysfs_parse.h"

namespace {

// Attribute values are a few dozen bytes; anything that fills this buffer is not one.
constexpr std::size_t kValueBufferBytes = 64;
constexpr std::size_t kTextBufferBytes = 256;

// A value file's content; nothing when it cannot be read or fills the whole buffer, and so
// cannot be taken whole.
std::optional<std::string> ReadValue(const SysfsRoot& root, const std::string& path) {
    std::optional<std::string> text = root.ReadFile(path, kValueBufferBytes);
    if (text && text->size() == kValueBufferBytes) return std::nullopt;
    return text;
}

}  // namespace

std::optional<std::int64_t> ReadSysfsInteger(const SysfsRoot& root, const std::string& path) {
    const auto text = ReadValue(root, path);
    return text ? ParseSysfsInteger(*text) : std::nullopt;
}

std::optional<std::uint64_t> ReadSysfsUnsigned(const SysfsRoot& root, const std::string& path) {
    const auto text = ReadValue(root, path);
    return text ? ParseSysfsUnsigned(*text) : std::nullopt;
}

std::optional<std::string> ReadSysfsText(const SysfsRoot& root, const std::string& path) {
    const auto text = root.ReadFile(path, kTextBufferBytes);
    return text ? ParseSysfsLabel(*text) : std::nullopt;
}

bool CanOpenForReading(const SysfsRoot& root, const std::string& path) { return root.CanRead(path); }

std::vector<NumberedEntry> ListNumberedEntries(const SysfsRoot& root, const std::filesystem::path& directory,
                                               std::string_view prefix, std::string_view suffix) {
    std::vector<NumberedEntry> entries;
    for (std::string& name : root.ListDirectory(directory))
        if (const auto number = ParseNumberedName(name, prefix, suffix)) entries.push_back({*number, std::move(name)});
    std::sort(entries.begin(), entries.end(),
              [](const NumberedEntry& a, const NumberedEntry& b) { return a.number < b.number; });
    return entries;
}
