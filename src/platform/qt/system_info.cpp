// The processor count is the number of processors this process may run on.

#include "platform/system_info.h"

#include <sched.h>
#include <unistd.h>

void GetSystemInfo(SYSTEM_INFO* info) {
    if (info == nullptr) return;
    *info = SYSTEM_INFO{};
    const long pageSize = sysconf(_SC_PAGESIZE);
    info->dwPageSize = pageSize > 0 ? static_cast<DWORD>(pageSize) : 4096;
    info->dwAllocationGranularity = 65536;

    int processors = 0;
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof(allowed), &allowed) == 0) processors = CPU_COUNT(&allowed);
    if (processors <= 0) {
        const long online = sysconf(_SC_NPROCESSORS_ONLN);
        processors = online > 0 ? static_cast<int>(online) : 1;
    }
    info->dwNumberOfProcessors = static_cast<DWORD>(processors);
    for (int bit = 0; bit < processors && bit < static_cast<int>(sizeof(std::uintptr_t) * 8); ++bit)
        info->dwActiveProcessorMask |= std::uintptr_t{1} << bit;
}

std::string MachineName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}
