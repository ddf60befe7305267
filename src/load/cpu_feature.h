#pragma once
// Processor feature flags from CPUID leaf 1, read once.

enum CpuFeatureIndex : int {
    CpuFeatureMmx = 0,
    CpuFeatureFxsr = 1,
    CpuFeatureSse = 2,
    CpuFeatureNone = 3,  // always 0
};

// 1 if the feature is present, else 0. index is 0 to 3; any other index gives 0.
int GetCpuFeature(int index);
// The table entries for a CPUID leaf 1 EDX value.
int CpuFeatureFromEdx(unsigned edx, int index);
