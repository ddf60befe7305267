#pragma once
// What the processor says of itself, for the log and the report: its model and vendor strings
// and the feature flags that matter to Ferrox's kernels and checks.

#include <string>
#include <vector>

struct CpuIdentity {
    std::string model;   // the brand string ("AMD EPYC 7763 64-Core Processor"), trimmed
    std::string vendor;  // "GenuineIntel", "AuthenticAMD", ...
    std::vector<std::string> features;  // "sse2", "avx2", "fma", "avx512f", ... those present
};

CpuIdentity ReadCpuIdentity();
