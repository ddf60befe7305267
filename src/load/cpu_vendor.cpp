// The vendor test: CPUID leaf 0's vendor string against the table, in order.

#include "load/cpu_vendor.h"

#include <cpuid.h>

#include <cstring>

namespace {

struct VendorEntry {
    int vendor;
    char name[13];
};

constexpr VendorEntry kVendors[] = {
    {CpuVendorIntel, "GenuineIntel"},
    {CpuVendorAmd, "AuthenticAMD"},
};

}  // namespace

int CpuVendorFromString(const char vendor[12]) {
    for (const VendorEntry& entry : kVendors)
        if (std::memcmp(vendor, entry.name, 12) == 0) return entry.vendor;
    return CpuVendorOther;
}

int GetCpuVendor() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(0, eax, ebx, ecx, edx);
    char vendor[12];
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    return CpuVendorFromString(vendor);
}
