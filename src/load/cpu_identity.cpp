#include "load/cpu_identity.h"

#include <cpuid.h>

#include <cstring>

namespace {

struct FeatureBit {
    const char* name;
    unsigned leaf;
    int reg;  // 0 EBX, 1 ECX, 2 EDX
    int bit;
};

constexpr FeatureBit kFeatureBits[] = {
    {"mmx", 1, 2, 23},  {"sse", 1, 2, 25},     {"sse2", 1, 2, 26},     {"sse3", 1, 1, 0},
    {"ssse3", 1, 1, 9}, {"fma", 1, 1, 12},     {"sse4.1", 1, 1, 19},   {"sse4.2", 1, 1, 20},
    {"avx", 1, 1, 28},  {"avx2", 7, 0, 5},     {"avx512f", 7, 0, 16},  {"avx512dq", 7, 0, 17},
    {"avx512bw", 7, 0, 30}, {"avx512vl", 7, 0, 31},
};

std::string Trimmed(const char* text) {
    std::string value(text);
    const auto first = value.find_first_not_of(' ');
    const auto last = value.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
}

}  // namespace

CpuIdentity ReadCpuIdentity() {
    CpuIdentity identity;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(0, eax, ebx, ecx, edx);
    const unsigned highestLeaf = eax;
    char vendor[13] = {};
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    identity.vendor = vendor;

    unsigned registers[8][3] = {};  // per leaf 0-7: EBX, ECX, EDX
    for (unsigned leaf : {1u, 7u}) {
        if (leaf > highestLeaf) continue;
        __cpuid_count(leaf, 0, eax, ebx, ecx, edx);
        registers[leaf][0] = ebx;
        registers[leaf][1] = ecx;
        registers[leaf][2] = edx;
    }
    for (const FeatureBit& feature : kFeatureBits)
        if ((registers[feature.leaf][feature.reg] >> feature.bit) & 1u) identity.features.push_back(feature.name);

    __cpuid(0x80000000u, eax, ebx, ecx, edx);
    if (eax >= 0x80000004u) {
        char brand[49] = {};
        for (unsigned i = 0; i < 3; ++i) {
            __cpuid(0x80000002u + i, eax, ebx, ecx, edx);
            std::memcpy(brand + 16 * i, &eax, 4);
            std::memcpy(brand + 16 * i + 4, &ebx, 4);
            std::memcpy(brand + 16 * i + 8, &ecx, 4);
            std::memcpy(brand + 16 * i + 12, &edx, 4);
        }
        identity.model = Trimmed(brand);
    }
    if (identity.model.empty()) identity.model = "unknown " + identity.vendor + " processor";
    return identity;
}
