#pragma once
// Texts made from a run's values: run times, digests, the error suffix of the title and the
// failing processors of the tray tip. Every view formats the same records with these.

#include <cstdint>
#include <string>
#include <vector>

// "00:01:05", "100:00:00": whole seconds, truncated; with tenths "00:01:05.3".
std::string FormatRunTime(double seconds, bool tenths = false);
// A digest as 16 hexadecimal digits.
std::string FormatDigest(std::uint64_t digest);
// " - 1 error", " - 2 errors"; empty while there are none.
std::string ErrorCountSuffix(std::uint64_t errors);
struct RunError;
// "worker 1 on processor 3 (core 1, package 0), x87 chain: expected ..., obtained ...".
std::string DescribeError(const RunError& error);
// "bit 17", "bits 3, 17 and 40": the bits where two words differ.
std::string DifferingBitsText(std::uint64_t expected, std::uint64_t obtained);
// "0x7f3a12345678".
std::string FormatAddress(std::uint64_t address);
// "12.3 GB/s".
std::string FormatBandwidth(double bytesPerSecond);
// "processor 3 (core 1, package 0)"; without the place when the topology does not say.
std::string DescribeProcessor(int processor, int core, int package);
// "Errors on processor 1." / "Errors on processors 1, 3 and 5."; empty for none.
std::string FailingProcessorsText(const std::vector<int>& processors);

// One throttling episode: "throttling on package 0 from 00:01:05.0 to 00:01:40.0: its package
// throttle counter rose by 80 (processors 0-63)", "throttling on core 3 of package 0 (processors 3
// and 35) from ...", or for a clock drop "throttling on <place> from ... to ...: its clock fell to
// ...". place describes the episode's first processor (clock drops, core counters without a core).
struct ThrottleEpisode;
std::string DescribeThrottleEpisode(const ThrottleEpisode& episode, const std::string& place);
// Ascending processor numbers with runs shortened: "3", "3 and 35", "0-63", "1, 4-7 and 9".
std::string ProcessorRangesText(const std::vector<int>& processors);
// "61.0 °C (k10temp Tctl)", or "" when there is no temperature.
std::string TemperatureText(double celsius, const std::string& label);
