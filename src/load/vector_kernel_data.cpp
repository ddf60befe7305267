// Filling the wide-vector kernels' data: the addends that keep every accumulator on a path that
// returns to its start at the end of each sweep, every step one-to-one (see vector_kernel_data.h).
//
// The filling works on exact integers: a double d of magnitude 1 to 2 is D * 2^-52 with D its
// 53-bit significand, so m * a - |c| is (M * A - C * 2^52) * 2^-104, exact in 128 bits, and its
// rounding to the nearest double (ties to even) can be read off the low 52 bits. A tie is never
// accepted: the proof that an addend off by one unit is always seen needs a step's exact result
// to lie strictly between two doubles.

#include "load/vector_kernel_data.h"

#include <algorithm>
#include <cstring>

#include "load/avx512_kernel.h"
#include "load/fma_kernel.h"

namespace {

using Wide = unsigned __int128;

// Multipliers of 1.8 to 1.95 whose significands are repeating bit patterns (9/5 = 1.1100110011...,
// 13/7 = 1.110110110..., 17/9 = 1.111000111...), one per lane.
constexpr double kMultipliers[8] = {9.0 / 5, 11.0 / 6, 13.0 / 7, 17.0 / 9, 19.0 / 10, 23.0 / 12, 25.0 / 13, 29.0 / 15};

// Keeps the intervals below clear of their bounds by far more than the one unit a rounding adds.
constexpr double kMargin = 1e-9;
constexpr std::uint64_t kUnit = std::uint64_t{1} << 52;  // 1.0 as a significand
constexpr std::uint64_t kHalfUnit = std::uint64_t{1} << 51;

std::uint64_t SplitMix64(std::uint64_t* state) {
    std::uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Uniform(std::uint64_t* state) { return static_cast<double>(SplitMix64(state) >> 11) * 0x1p-53; }

// The significand of a magnitude from 1 to 2, and back.
std::uint64_t Significand(double magnitude) {
    std::uint64_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    return (bits & (kUnit - 1)) | kUnit;
}

double FromSignificand(std::uint64_t significand, bool negative) {
    const std::uint64_t bits = (negative ? std::uint64_t{1} << 63 : 0) | std::uint64_t{0x3FF} << 52 | (significand - kUnit);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

struct Interval {
    double low, high;
    bool Empty() const { return low > high; }
    Interval Meet(Interval other) const { return {std::max(low, other.low), std::min(high, other.high)}; }
};

constexpr Interval kStates{kVectorKernelLowestState, kVectorKernelHighestState};

// The next states a step may aim at from a: those whose addend m * a - next lies in 1 to 2.
Interval Reachable(double a, double m) { return Interval{m * a - 2 + kMargin, m * a - 1 - kMargin}.Meet(kStates); }

// The states from which some step reaches a state in target.
Interval Preimage(Interval target, double m) {
    return Interval{(target.low + 1 + kMargin) / m, (target.high + 2 - kMargin) / m}.Meet(kStates);
}

// One step's exact result, m * a - c in units of 2^-104, split into the rounded significand and
// whether it was a tie.
struct Step {
    std::uint64_t next;
    bool tie;
};

Step Round(Wide product, std::uint64_t addend) {
    const Wide exact = product - (static_cast<Wide>(addend) << 52);
    const auto low = static_cast<std::uint64_t>(exact) & (kUnit - 1);
    const auto next = static_cast<std::uint64_t>(exact >> 52) + (low > kHalfUnit ? 1 : 0);
    return {next, low == kHalfUnit};
}

// The addend (its significand) that takes a step from a (product = M * A) to aim, or 0 when
// every addend near it would give a tie. exactly: the step must land on aim itself.
std::uint64_t AddendFor(Wide product, std::uint64_t aim, bool exactly) {
    const auto whole = static_cast<std::uint64_t>(product >> 52);
    const auto low = static_cast<std::uint64_t>(product) & (kUnit - 1);
    if (low == kHalfUnit) return 0;
    // Below half a unit the rounding keeps the whole part; above it adds one, which one more unit
    // of addend takes back when the step must land exactly.
    return whole - aim + (exactly && low > kHalfUnit ? 1 : 0);
}

// One group's path in one lane over a sweep: an addend for each of its steps, the last one
// bringing it back to start. steps addends are written to addends.
template <class Data>
void FillGroupPath(double start, double m, bool negative, std::uint64_t* random, double* addends) {
    constexpr int kSteps = Data::kStepsPerSweep;
    // reach[k]: the states from which start can be reached in k more steps.
    Interval reach[kSteps + 1];
    reach[0] = {start, start};
    for (int k = 1; k <= kSteps; ++k) reach[k] = Preimage(reach[k - 1], m);
    const std::uint64_t multiplier = Significand(m);
    const std::uint64_t first = Significand(start);
    std::uint64_t a = first;
    for (int step = 0; step < kSteps; ++step) {
        const int left = kSteps - step - 1;  // steps after this one
        const double value = FromSignificand(a, false);
        const Wide product = static_cast<Wide>(multiplier) * a;
        std::uint64_t addend = 0;
        for (int attempt = 0; addend == 0; ++attempt) {
            if (left == 0) {
                addend = AddendFor(product, first, true);
            } else {
                const Interval aims = Reachable(value, m).Meet(reach[left]);
                const double aim = aims.Empty() ? (reach[left].low + reach[left].high) / 2
                                                : aims.low + (aims.high - aims.low) * Uniform(random);
                addend = AddendFor(product, Significand(aim), false);
            }
            // A tie on the way (one draw in 2^52) is drawn again; on the last step it cannot be, and
            // the start values below never meet one (the reference test would say so).
            if (addend != 0 && Round(product, addend).tie) addend = 0;
            if (attempt > 64) break;
        }
        a = Round(product, addend).next;
        // The addend has the opposite sign of the lane's accumulators.
        addends[step] = FromSignificand(addend, !negative);
    }
}

}  // namespace

template <class Data>
void InitVectorKernelData(Data* data, std::uint64_t seed) {
    std::memset(static_cast<void*>(data), 0, sizeof(Data));
    std::uint64_t random = seed;
    for (int lane = 0; lane < Data::kLanes; ++lane) data->multiplier[lane] = kMultipliers[lane];
    double addends[Data::kStepsPerSweep];
    for (int group = 0; group < Data::kGroups; ++group) {
        for (int lane = 0; lane < Data::kLanes; ++lane) {
            const bool negative = lane % 2 != 0;
            const double start = kStates.low + (kStates.high - kStates.low) * Uniform(&random);
            const double magnitude = FromSignificand(Significand(start), false);
            FillGroupPath<Data>(magnitude, kMultipliers[lane], negative, &random, addends);
            for (int chain = group * Data::kChainsPerGroup; chain < (group + 1) * Data::kChainsPerGroup; ++chain)
                data->start[chain][lane] = negative ? -magnitude : magnitude;
            for (int step = 0; step < Data::kStepsPerSweep; ++step)
                data->table[step * Data::kGroups + group][lane] = addends[step];
        }
    }
}

template <class Data>
std::uint64_t VectorKernelDigest(const Data& data) {
    std::uint64_t digest = 0x243F6A8885A308D3ull;
    auto fold = [&digest](const void* bytes, std::size_t size) {
        for (std::size_t offset = 0; offset < size; offset += 8) {
            std::uint64_t word;
            std::memcpy(&word, static_cast<const char*>(bytes) + offset, sizeof(word));
            digest = (digest ^ word) * 0x9E3779B97F4A7C15ull;
            digest ^= digest >> 29;
        }
    };
    fold(data.end, sizeof(data.end));
    fold(data.endSums, sizeof(data.endSums));
    fold(data.table, sizeof(data.table));
    return digest;
}

template void InitVectorKernelData(FmaKernelData* data, std::uint64_t seed);
template void InitVectorKernelData(Avx512KernelData* data, std::uint64_t seed);
template std::uint64_t VectorKernelDigest(const FmaKernelData& data);
template std::uint64_t VectorKernelDigest(const Avx512KernelData& data);
