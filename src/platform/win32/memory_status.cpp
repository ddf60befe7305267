// Memory figures from GlobalMemoryStatusEx. Windows has no out-of-memory killer: a process that
// asks for more than the commit limit is refused, so there is nothing to ask for.

#include "platform/win32/windows_api.h"

#include "platform/memory_status.h"

MemoryStatus ReadMemoryStatus() {
    MemoryStatus status;
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    if (!GlobalMemoryStatusEx(&memory)) return status;
    status.known = true;
    status.totalBytes = memory.ullTotalPhys;
    status.availableBytes = memory.ullAvailPhys;
    return status;
}

std::string PreferThisProcessWhenOutOfMemory() { return {}; }
