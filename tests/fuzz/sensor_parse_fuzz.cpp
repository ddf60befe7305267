// libFuzzer target for what the sensor readers make of what they find: any bytes are the content
// of a sensor file or the name of an entry, and the start of the input also drives the energy
// counter's arithmetic and a run of throttle counts through the episode grouping. Whatever is
// accepted must read back the same, a label must hold no control byte, a power must be finite and
// sane, and the episodes must stay consistent and bounded.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "monitor/energy_counter.h"
#include "monitor/sysfs_parse.h"
#include "monitor/throttle_episodes.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

void CheckNumbers(std::string_view text) {
    if (const auto value = ParseSysfsInteger(text)) check(ParseSysfsInteger(std::to_string(*value) + "\n") == value);
    if (const auto value = ParseSysfsUnsigned(text)) {
        check(ParseSysfsUnsigned(std::to_string(*value)) == value);
        // An unsigned value is a signed one too where it fits, never the other way round.
        if (*value <= static_cast<std::uint64_t>(INT64_MAX)) check(ParseSysfsInteger(text) == static_cast<std::int64_t>(*value));
    }
}

void CheckLabel(std::string_view text) {
    const auto label = ParseSysfsLabel(text);
    if (!label) return;
    check(!label->empty() && label->size() <= text.size());
    for (const char c : *label) check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    check(label->front() != ' ' && label->back() != ' ');
}

void CheckNames(std::string_view text) {
    for (const auto& [prefix, suffix] : {std::pair<std::string_view, std::string_view>{"hwmon", ""}, {"temp", "_input"}, {"cpu", ""}}) {
        const auto number = ParseNumberedName(text, prefix, suffix);
        if (!number) continue;
        check(*number >= 0);
        check(ParseNumberedName(std::string(prefix) + std::to_string(*number) + std::string(suffix), prefix, suffix) == number);
    }
    if (const auto zone = ParsePowercapZone(text)) {
        check(!zone->empty());
        std::string again = "intel-rapl:";
        for (std::size_t i = 0; i < zone->size(); ++i) {
            check((*zone)[i] >= 0);
            again += (i > 0 ? ":" : "") + std::to_string((*zone)[i]);
        }
        check(ParsePowercapZone(again) == zone);
    }
}

template <typename T>
T Take(const std::uint8_t*& data, std::size_t& size) {
    T value{};
    const std::size_t n = size < sizeof value ? size : sizeof value;
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

void CheckPower(const std::uint8_t* data, std::size_t size) {
    const auto last = Take<std::uint64_t>(data, size);
    const auto now = Take<std::uint64_t>(data, size);
    const auto range = Take<std::uint64_t>(data, size);
    const auto elapsed = Take<double>(data, size);
    const bool hasRange = (Take<std::uint8_t>(data, size) & 1) != 0;
    const auto watts = AverageWatts(last, now, hasRange ? std::optional<std::uint64_t>(range) : std::nullopt, elapsed);
    if (!watts) return;
    check(std::isfinite(*watts) && *watts >= 0.0 && *watts <= kMostWatts);
    check(now >= last || hasRange);
}

// Each 6 bytes: a step of time, a processor, which counter, a count step, package and core.
void CheckEpisodes(const std::uint8_t* data, std::size_t size) {
    ThrottleDetector detector;
    ThrottleEpisodes episodes(ThrottleEpisodes::Settings{3.0, 4});
    std::uint64_t counts[16][2] = {};
    double seconds = 0.0;
    std::size_t handedOut = 0;
    while (size >= 6) {
        seconds += data[0] / 16.0;
        const int processor = data[1] % 16;
        const int kind = data[2] & 1;
        counts[processor][kind] = (data[3] & 0x80) != 0 ? data[3] & 0x7F : counts[processor][kind] + (data[3] & 0x7F);
        const int package = data[4] % 3 - 1;
        const int core = data[5] % 5 - 1;
        const ThrottleCount count{processor, kind == 0 ? ThrottleCounter::kCore : ThrottleCounter::kPackage,
                                  counts[processor][kind], package, core};
        if (const auto event = detector.AddThrottleCount(seconds, count)) episodes.Add(*event, package, core);
        if ((data[2] & 2) != 0) {
            if (const auto clock = detector.AddClock(processor, seconds, 1e9 + data[5] * 1e7)) episodes.Add(*clock);
            else if (!detector.ClockLow(processor)) episodes.ClockBack(processor, seconds);
        }
        handedOut += episodes.TakeEnded(seconds).size();
        data += 6;
        size -= 6;
    }
    handedOut += episodes.EndAll(seconds + 1.0).size();
    check(episodes.Open().empty());
    check(handedOut == episodes.Count());
    check(episodes.Kept().size() <= 4 && episodes.Kept().size() + episodes.NotKept() == episodes.Count());
    for (const ThrottleEpisode& episode : episodes.Kept()) {
        check(episode.startSeconds <= episode.endSeconds && !episode.processors.empty());
        for (std::size_t i = 1; i < episode.processors.size(); ++i) check(episode.processors[i - 1] < episode.processors[i]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckNumbers(text);
    CheckLabel(text);
    CheckNames(text);
    CheckPower(data, size);
    CheckEpisodes(data, size);
    return 0;
}
