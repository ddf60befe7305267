// The processor count is the number of processors this process may run on.

#include "platform/win32/windows_api.h"

#include <bit>

#include "platform/system_info.h"
#include "platform/win32/kernel_calls.h"
#include "platform/win32/text.h"

void GetSystemInfo(SYSTEM_INFO* info) {
    if (info == nullptr) return;
    *info = SYSTEM_INFO{};
    Win32SYSTEM_INFO native{};
    GetSystemInfo(&native);
    info->dwPageSize = native.dwPageSize != 0 ? native.dwPageSize : 4096;
    info->dwAllocationGranularity = native.dwAllocationGranularity != 0 ? native.dwAllocationGranularity : 65536;
    DWORD_PTR processMask = 0, systemMask = 0;
    if (GetProcessAffinityMask(kernel::CurrentProcess(), &processMask, &systemMask) && processMask != 0) {
        info->dwActiveProcessorMask = processMask;
        info->dwNumberOfProcessors = static_cast<DWORD>(std::popcount(static_cast<std::uint64_t>(processMask)));
    } else {
        const DWORD processors = native.dwNumberOfProcessors > 0 ? native.dwNumberOfProcessors : 1;
        info->dwNumberOfProcessors = processors;
        for (DWORD bit = 0; bit < processors && bit < 64; ++bit) info->dwActiveProcessorMask |= std::uintptr_t{1} << bit;
    }
}

std::string MachineName() {
    // The DNS host name, as Linux's gethostname gives it (not the upper-case NetBIOS name).
    Win32DWORD length = 0;
    GetComputerNameExW(ComputerNameDnsHostname, nullptr, &length);
    if (length == 0) return {};
    std::wstring name(length, L'\0');
    if (!GetComputerNameExW(ComputerNameDnsHostname, name.data(), &length)) return {};
    name.resize(length);
    return Utf8(name);
}
