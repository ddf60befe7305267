#include "run/run_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "monitor/throttle_detector.h"
#include "monitor/throttle_episodes.h"
#include "run/run_summary.h"

std::string FormatRunTime(double seconds, bool tenths) {
    const double valid = std::isfinite(seconds) && seconds > 0 ? std::min(seconds, 9.0e15) : 0.0;
    const auto total = static_cast<long long>(std::trunc(valid));
    char text[48];
    const int length = std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    if (tenths && length > 0)
        std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), ".%d",
                      static_cast<int>((valid - static_cast<double>(total)) * 10.0));
    return text;
}

std::string FormatDigest(std::uint64_t digest) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(digest));
    return text;
}

std::string ErrorCountSuffix(std::uint64_t errors) {
    if (errors == 0) return {};
    return " - " + std::to_string(errors) + (errors == 1 ? " error" : " errors");
}

std::string FailingProcessorsText(const std::vector<int>& processors) {
    if (processors.empty()) return {};
    std::string text = processors.size() == 1 ? "Errors on processor " : "Errors on processors ";
    for (std::size_t i = 0; i < processors.size(); ++i) {
        if (i > 0) text += i + 1 == processors.size() ? " and " : ", ";
        text += std::to_string(processors[i]);
    }
    return text + ".";
}

std::string DifferingBitsText(std::uint64_t expected, std::uint64_t obtained) {
    const std::uint64_t differing = expected ^ obtained;
    std::vector<int> bits;
    for (int bit = 0; bit < 64; ++bit)
        if (differing >> bit & 1) bits.push_back(bit);
    std::string text = bits.size() == 1 ? "bit " : "bits ";
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (i > 0) text += i + 1 == bits.size() ? " and " : ", ";
        text += std::to_string(bits[i]);
    }
    return bits.empty() ? "no bit" : text;
}

std::string FormatAddress(std::uint64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(address));
    return text;
}

std::string FormatBandwidth(double bytesPerSecond) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GB/s", bytesPerSecond > 0.0 ? bytesPerSecond * 1e-9 : 0.0);
    return text;
}

std::string DescribeProcessor(int processor, int core, int package) {
    std::string text = "processor " + std::to_string(processor);
    if (core >= 0) text += " (core " + std::to_string(core) + ", package " + std::to_string(package) + ")";
    return text;
}

std::string DescribeError(const RunError& error) {
    std::string text = "worker " + std::to_string(error.worker) + " on " +
                       DescribeProcessor(error.processor, error.core, error.package);
    if (error.endProcessor >= 0)
        text += " and processor " + std::to_string(error.endProcessor) + " (it moved during the work)";
    char detail[96];
    switch (error.kind) {
    case RunErrorKind::Crashed:
        text += ": " + error.faultName;
        if (error.faultAddress != 0) {
            std::snprintf(detail, sizeof detail, " at address 0x%llx", static_cast<unsigned long long>(error.faultAddress));
            text += detail;
        }
        return text + " in its work (it starts afresh)";
    case RunErrorKind::StoppedResponding:
        std::snprintf(detail, sizeof detail, " stopped responding: %.1f s of processor time without finishing a pass",
                      error.stuckSeconds);
        return text + detail;
    case RunErrorKind::WordMismatch: {
        text += std::string(", ") + LoadKernelName(error.kernel) + " load: ";
        const WordMismatch& where = error.mismatch;
        const std::string physical = where.physicalAddress != 0 ? " (physical " + FormatAddress(where.physicalAddress) + ")" : "";
        if (where.wrongWords == 0) {
            text += "the checksum of the block at " + FormatAddress(where.address) + physical +
                    " differed, but its words read right again: checksum expected " + FormatDigest(error.expected) +
                    ", obtained " + FormatDigest(error.obtained);
        } else {
            text += "the word at " + FormatAddress(where.address) + physical + " differs in " +
                    DifferingBitsText(error.expected, error.obtained) + ": expected " + FormatDigest(error.expected) +
                    ", obtained " + FormatDigest(error.obtained);
            if (where.wrongWords > 1) text += " (" + std::to_string(where.wrongWords) + " wrong words in its block)";
        }
        return text + "; written by processor " + std::to_string(where.writer) + ", read by processor " + std::to_string(where.reader);
    }
    case RunErrorKind::CheckFailed: break;
    }
    return text + ", " + CheckPartName(error.part) + ": expected " + FormatDigest(error.expected) + ", obtained " +
           FormatDigest(error.obtained);
}

std::string ProcessorRangesText(const std::vector<int>& processors) {
    // Runs of three or more become "first-last"; the pieces are joined as in a sentence.
    std::vector<std::string> pieces;
    for (std::size_t i = 0; i < processors.size();) {
        std::size_t last = i;
        while (last + 1 < processors.size() && processors[last + 1] == processors[last] + 1) ++last;
        if (last >= i + 2) {
            pieces.push_back(std::to_string(processors[i]) + "-" + std::to_string(processors[last]));
            i = last + 1;
        } else {
            pieces.push_back(std::to_string(processors[i]));
            ++i;
        }
    }
    std::string text;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) text += i + 1 == pieces.size() ? " and " : ", ";
        text += pieces[i];
    }
    return text;
}

std::string DescribeThrottleEpisode(const ThrottleEpisode& episode, const std::string& place) {
    const std::string span = " from " + FormatRunTime(episode.startSeconds, true) + " to " + FormatRunTime(episode.endSeconds, true);
    const std::string count = std::to_string(episode.counts);
    const std::string package = episode.package >= 0 ? "package " + std::to_string(episode.package) : "the package";
    const std::string processors = (episode.processors.size() == 1 ? "processor " : "processors ") + ProcessorRangesText(episode.processors);
    switch (episode.reason) {
    case ThrottleReason::kPackageThrottleCount:
        return "throttling on " + package + span + ": its package throttle counter rose by " + count + " (" + processors + ")";
    case ThrottleReason::kCoreThrottleCount:
        if (episode.core >= 0)
            return "throttling on core " + std::to_string(episode.core) + " of " + package + " (" + processors + ")" + span +
                   ": its core throttle counter rose by " + count;
        return "throttling on " + place + span + ": its core throttle counter rose by " + count;
    case ThrottleReason::kClockDrop: break;
    }
    char text[160];
    std::snprintf(text, sizeof text, ": its clock fell to %.1f MHz, more than 10%% below its first-minute median %.1f MHz",
                  episode.lowestHertz * 1e-6, episode.medianHertz * 1e-6);
    return "throttling on " + place + span + text;
}

std::string TemperatureText(double celsius, const std::string& label) {
    if (!std::isfinite(celsius)) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.1f \u00b0C", std::round(celsius * 10.0) / 10.0);
    return label.empty() ? text : std::string(text) + " (" + label + ")";
}
