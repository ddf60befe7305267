#include "memtest/memory_size.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "memtest/memory_arena.h"

namespace {

constexpr const char* kAccepted = "a size such as 512M, 2G or 1.5T (binary units K, M, G, T), or a share such as 50%";

bool Refuse(std::string* reason, const std::string& text) {
    if (reason != nullptr) *reason = text;
    return false;
}

std::uint64_t WholeBlocks(std::uint64_t bytes) { return bytes / kBlockBytes * kBlockBytes; }

}  // namespace

std::string FormatBytes(std::uint64_t bytes) {
    char text[48];
    if (bytes >= (1ull << 30)) {
        std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(bytes) / (1ull << 30));
    } else {
        std::snprintf(text, sizeof text, "%llu MiB", static_cast<unsigned long long>(bytes >> 20));
    }
    return text;
}

bool ParseMemorySize(const std::string& text, MemorySizeRequest* request, std::string* reason) {
    std::size_t digits = 0;
    while (digits < text.size() && ((text[digits] >= '0' && text[digits] <= '9') || text[digits] == '.')) ++digits;
    double number = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + digits, number);
    if (digits == 0 || digits > 12 || error != std::errc() || end != text.data() + digits || !std::isfinite(number))
        return Refuse(reason, kAccepted);
    std::string unit = text.substr(digits);
    MemorySizeRequest parsed;
    if (unit == "%") {
        if (number <= 0.0 || number > 100.0) return Refuse(reason, "a share of the available memory above 0% and up to 100%");
        parsed.kind = MemorySizeRequest::Kind::Percent;
        parsed.percent = number;
    } else {
        if (unit.size() == 3 && unit.substr(1) == "iB") unit.resize(1);
        const std::string units = "KMGT";
        const std::size_t place = unit.size() == 1 ? units.find(static_cast<char>(std::toupper(static_cast<unsigned char>(unit[0]))))
                                                   : std::string::npos;
        if (place == std::string::npos) return Refuse(reason, kAccepted);
        const double bytes = number * std::pow(1024.0, static_cast<double>(place + 1));
        if (bytes > 1.0e18) return Refuse(reason, kAccepted);
        parsed.kind = MemorySizeRequest::Kind::Bytes;
        parsed.bytes = static_cast<std::uint64_t>(bytes);
    }
    if (request != nullptr) *request = parsed;
    return true;
}

std::uint64_t MemoryMarginBytes(const MemoryStatus& status) {
    return std::max(kLeastMemoryMargin, status.totalBytes / 20);
}

std::string DescribeMemoryRequest(const MemorySizeRequest& request) {
    char text[48];
    switch (request.kind) {
    case MemorySizeRequest::Kind::Percent:
        std::snprintf(text, sizeof text, "%g%%", request.percent);
        return text;
    case MemorySizeRequest::Kind::Bytes: return FormatBytes(request.bytes);
    case MemorySizeRequest::Kind::Default: break;
    }
    std::snprintf(text, sizeof text, "default (%g%% of the available memory)", kDefaultMemoryPercent);
    return text;
}

MemorySizeDecision DecideMemorySize(const MemorySizeRequest& request, const MemoryStatus& status) {
    MemorySizeDecision decision;
    const std::uint64_t margin = MemoryMarginBytes(status);
    const std::uint64_t most = status.known && status.availableBytes > margin ? WholeBlocks(status.availableBytes - margin) : 0;
    const std::string room = status.known ? FormatBytes(status.availableBytes) + " available, less Ferrox's margin of " +
                                                FormatBytes(margin) + " for the system: at most " + FormatBytes(most) + " fits"
                                          : std::string();
    std::uint64_t wanted = 0;
    switch (request.kind) {
    case MemorySizeRequest::Kind::Default:
        if (!status.known) {
            decision.fits = true;
            decision.bytes = kMemoryWhenUnknown;
            decision.note = "the system does not say how much memory is available: the memory load uses " +
                            FormatBytes(kMemoryWhenUnknown) + " (choose with --memory)";
            return decision;
        }
        wanted = WholeBlocks(static_cast<std::uint64_t>(static_cast<double>(status.availableBytes) * kDefaultMemoryPercent / 100.0));
        if (wanted > most) {
            wanted = most;
            decision.note = "the memory load uses " + FormatBytes(most) + ", less than " + DescribeMemoryRequest(request) +
                            ", to leave Ferrox's margin of " + FormatBytes(margin) + " to the system";
        }
        if (wanted < kSmallestMemoryBuffer) {
            decision.problem = "too little memory is available for the memory load: " + room + ", and it needs " +
                               FormatBytes(kSmallestMemoryBuffer);
            return decision;
        }
        decision.fits = true;
        decision.bytes = wanted;
        return decision;
    case MemorySizeRequest::Kind::Percent:
        if (!status.known) {
            decision.problem = "the system does not say how much memory is available: give --memory a size such as 2G";
            return decision;
        }
        wanted = WholeBlocks(static_cast<std::uint64_t>(static_cast<double>(status.availableBytes) * request.percent / 100.0));
        break;
    case MemorySizeRequest::Kind::Bytes: wanted = WholeBlocks(request.bytes); break;
    }
    const std::string asked = DescribeMemoryRequest(request) +
                              (request.kind == MemorySizeRequest::Kind::Percent ? " (" + FormatBytes(wanted) + ")" : std::string());
    if (wanted < kSmallestMemoryBuffer) {
        decision.problem = "--memory " + asked + " is too small: the memory load needs at least " + FormatBytes(kSmallestMemoryBuffer);
        return decision;
    }
    if (status.known && wanted > most) {
        decision.problem = "--memory " + asked + " does not fit: " + room;
        return decision;
    }
    decision.fits = true;
    decision.bytes = wanted;
    return decision;
}
