// Feature flags from CPUID leaf 1 EDX: MMX (bit 23), FXSR (bit 24), SSE (bit 25).

#include "load/cpu_feature.h"

#include <cpuid.h>

namespace {

constexpr unsigned kFeatureMasks[4] = {0x800000u, 0x1000000u, 0x2000000u, 0u};

struct FeatureTable {
    int present[4];
};

FeatureTable ReadFeatureTable() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid_count(1, 0, eax, ebx, ecx, edx);
    FeatureTable table = {};
    for (int index = 0; index < 4; ++index) table.present[index] = CpuFeatureFromEdx(edx, index);
    return table;
}

}  // namespace

int CpuFeatureFromEdx(unsigned edx, int index) {
    if (index < 0 || index > 3) return 0;
    return (edx & kFeatureMasks[index]) != 0 ? 1 : 0;
}

int GetCpuFeature(int index) {
    // Filled once, on the first call; the workers ask too, so the filling is thread-safe.
    static const FeatureTable table = ReadFeatureTable();
    if (index < 0 || index > 3) return 0;
    return table.present[index];
}
