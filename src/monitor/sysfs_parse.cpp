// Strict parsing of sysfs values and names.

#include "monitor/sysfs_parse.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace {

constexpr std::string_view kZonePrefix = "intel-rapl:";

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

std::optional<std::int64_t> ParseSysfsInteger(std::string_view text) { return ParseWhole<std::int64_t>(text); }

std::optional<std::uint64_t> ParseSysfsUnsigned(std::string_view text) {
    return ParseWhole<std::uint64_t>(text);  // from_chars takes no sign for unsigned
}

std::optional<std::string> ParseSysfsLabel(std::string_view text) {
    std::string_view line = text.substr(0, text.find('\n'));
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    line = TrimEnd(line);
    if (line.empty()) return std::nullopt;
    std::string label(line);
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
    std::replace_if(label.begin(), label.end(), isControl, '?');
    return label;
}

std::optional<int> ParseNumberedName(std::string_view name, std::string_view prefix, std::string_view suffix) {
    if (name.size() <= prefix.size() + suffix.size()) return std::nullopt;
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) return std::nullopt;
    const std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size() || number < 0) return std::nullopt;
    return number;
}

std::optional<std::vector<int>> ParsePowercapZone(std::string_view name) {
    if (!name.starts_with(kZonePrefix)) return std::nullopt;
    std::vector<int> numbers;
    std::string_view rest = name.substr(kZonePrefix.size());
    while (true) {
        int number = 0;
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
        if (error != std::errc() || number < 0) return std::nullopt;
        numbers.push_back(number);
        rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
        if (rest.empty()) return numbers;
        if (rest.front() != ':') return std::nullopt;
        rest.remove_prefix(1);
    }
}
