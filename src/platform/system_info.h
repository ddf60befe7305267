#pragma once
// The machine's processor count and page size.

#include <string>

#include "platform/win_types.h"

struct SYSTEM_INFO {
    DWORD dwPageSize;
    DWORD dwNumberOfProcessors;  // processors this process may run on (at least 1)
    std::uintptr_t dwActiveProcessorMask;
    DWORD dwAllocationGranularity;
};

void GetSystemInfo(SYSTEM_INFO* info);

// The machine's name on the network (for reports from many machines); empty when unknown.
std::string MachineName();
