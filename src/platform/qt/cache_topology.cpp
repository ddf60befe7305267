// Caches from sysfs: cpuN/cache/indexM holds level, type, size ("48K") and shared_cpu_list.

#include "platform/cache_topology.h"

#include <charconv>
#include <fstream>

namespace {

std::string FirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t')) line.pop_back();
    return line;
}

bool ParseNumber(std::string_view text, std::uint64_t* value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return error == std::errc() && end == text.data() + text.size();
}

// "48K", "2048K", "32M", "1024": bytes; 0 when malformed.
std::uint64_t ParseCacheSize(std::string_view text) {
    std::uint64_t scale = 1;
    if (!text.empty() && (text.back() == 'K' || text.back() == 'M' || text.back() == 'G')) {
        scale = text.back() == 'K' ? 1ull << 10 : text.back() == 'M' ? 1ull << 20 : 1ull << 30;
        text.remove_suffix(1);
    }
    std::uint64_t value = 0;
    return ParseNumber(text, &value) && value < (1ull << 40) ? value * scale : 0;
}

}  // namespace

std::vector<CacheLevel> ProcessorCaches(int processor, const std::string& sysfsRoot) {
    std::vector<CacheLevel> caches;
    if (processor < 0) return caches;
    std::string root = sysfsRoot.empty() ? "/" : sysfsRoot;
    if (root.back() != '/') root += '/';
    const std::string folder = root + "sys/devices/system/cpu/cpu" + std::to_string(processor) + "/cache/index";
    for (int index = 0; index < 16; ++index) {
        const std::string entry = folder + std::to_string(index) + "/";
        const std::string levelText = FirstLine(entry + "level");
        if (levelText.empty()) break;
        std::uint64_t level = 0;
        CacheLevel cache;
        const std::string type = FirstLine(entry + "type");
        cache.bytes = ParseCacheSize(FirstLine(entry + "size"));
        if (!ParseNumber(levelText, &level) || level == 0 || level > 8 || cache.bytes == 0) continue;
        cache.level = static_cast<int>(level);
        cache.kind = type == "Data" ? CacheKind::Data : type == "Instruction" ? CacheKind::Instruction : CacheKind::Unified;
        const int shared = CountProcessorList(FirstLine(entry + "shared_cpu_list"));
        cache.sharedBy = shared > 0 ? shared : 1;
        caches.push_back(cache);
    }
    return caches;
}
