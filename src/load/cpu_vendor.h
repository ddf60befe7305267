#pragma once
// The processor vendor, from the CPUID vendor string.

enum CpuVendor : int {
    CpuVendorOther = 0,
    CpuVendorIntel = 1,
    CpuVendorAmd = 2,
};

// Executes CPUID leaf 0 on every call; keeps no state.
int GetCpuVendor();
// The vendor of a 12-character vendor string (EBX, EDX, ECX bytes in that order).
int CpuVendorFromString(const char vendor[12]);
