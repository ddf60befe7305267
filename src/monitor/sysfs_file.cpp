// Sysfs attribute readers: one open, one short read, strict parsing.

#include "monitor/sysfs_file.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <system_error>

namespace {

// Attribute values are a few dozen bytes; anything that fills this buffer is not one.
constexpr std::size_t kValueBufferBytes = 64;
constexpr std::size_t kTextBufferBytes = 256;

// The file's first bytes; nothing when it cannot be opened or read, or fills the whole buffer
// (tooLongIsError) and so cannot be taken whole.
template <std::size_t kBytes>
std::optional<std::string_view> ReadStart(const std::string& path, char (&buffer)[kBytes], bool tooLongIsError) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::nullopt;
    const std::size_t length = std::fread(buffer, 1, kBytes, file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || (tooLongIsError && length == kBytes)) return std::nullopt;
    return std::string_view(buffer, length);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view TrimEnd(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

template <typename Number>
std::optional<Number> ParseWhole(std::string_view text) {
    text = TrimEnd(text);
    if (text.empty()) return std::nullopt;
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::int64_t> ReadSysfsInteger(const std::string& path) {
    char buffer[kValueBufferBytes];
    const auto text = ReadStart(path, buffer, true);
    return text ? ParseWhole<std::int64_t>(*text) : std::nullopt;
}

std::optional<std::uint64_t> ReadSysfsUnsigned(const std::string& path) {
    char buffer[kValueBufferBytes];
    const auto text = ReadStart(path, buffer, true);
    return text ? ParseWhole<std::uint64_t>(*text) : std::nullopt;  // from_chars takes no sign for unsigned
}

std::optional<std::string> ReadSysfsText(const std::string& path) {
    char buffer[kTextBufferBytes];
    const auto start = ReadStart(path, buffer, false);
    if (!start) return std::nullopt;
    std::string_view line = start->substr(0, start->find('\n'));
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    line = TrimEnd(line);
    if (line.empty()) return std::nullopt;
    std::string text(line);
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
    std::replace_if(text.begin(), text.end(), isControl, '?');
    return text;
}

bool CanOpenForReading(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

std::vector<NumberedEntry> ListNumberedEntries(const std::filesystem::path& directory, std::string_view prefix,
                                               std::string_view suffix) {
    std::vector<NumberedEntry> entries;
    std::error_code error;
    std::filesystem::directory_iterator it(directory, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() + suffix.size()) continue;
        if (!name.starts_with(prefix) || !name.ends_with(suffix)) continue;
        const std::string_view digits =
            std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        int number = 0;
        const auto [end, parseError] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (parseError != std::errc() || end != digits.data() + digits.size() || number < 0) continue;
        entries.push_back({number, std::move(name)});
    }
    std::sort(entries.begin(), entries.end(),
              [](const NumberedEntry& a, const NumberedEntry& b) { return a.number < b.number; });
    return entries;
}
