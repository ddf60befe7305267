// Processors from the scheduler's affinity mask and the topology in sysfs.

#include "platform/common/processor_backend.h"

#include <sched.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

namespace {

// Enough for the largest machines Linux supports; the mask is sized at run time.
constexpr int kMaskProcessors = 8192;

struct CpuSet {
    cpu_set_t* set = CPU_ALLOC(kMaskProcessors);
    std::size_t size = CPU_ALLOC_SIZE(kMaskProcessors);
    CpuSet() { CPU_ZERO_S(size, set); }
    ~CpuSet() { CPU_FREE(set); }
    CpuSet(const CpuSet&) = delete;
    CpuSet& operator=(const CpuSet&) = delete;
};

// A small non-negative integer from a sysfs file; -1 when missing or not a number.
int ReadSysfsNumber(const std::string& path) {
    std::ifstream file(path);
    long value = -1;
    if (!(file >> value) || value < 0 || value > 1 << 20) return -1;
    return static_cast<int>(value);
}

bool IsOnline(int processor) {
    // cpu0 often has no "online" file: it cannot be taken offline.
    const int online = ReadSysfsNumber("/sys/devices/system/cpu/cpu" + std::to_string(processor) + "/online");
    return online != 0;
}

}  // namespace

std::vector<ProcessorPlace> ReadAllowedProcessors() {
    std::vector<ProcessorPlace> places;
    CpuSet allowed;
    // The main thread's mask is the process's: worker threads may have pinned themselves.
    if (sched_getaffinity(getpid(), allowed.size, allowed.set) == 0) {
        for (int processor = 0; processor < kMaskProcessors; ++processor) {
            if (!CPU_ISSET_S(processor, allowed.size, allowed.set) || !IsOnline(processor)) continue;
            const std::string topology = "/sys/devices/system/cpu/cpu" + std::to_string(processor) + "/topology/";
            places.push_back(ProcessorPlace{processor, ReadSysfsNumber(topology + "core_id"),
                                            ReadSysfsNumber(topology + "physical_package_id")});
        }
    }
    return places;
}

int CurrentProcessor() { return sched_getcpu(); }

BOOL PinCurrentThread(int processor) {
    if (processor < 0 || processor >= kMaskProcessors) return FALSE;
    CpuSet one;
    CPU_SET_S(processor, one.size, one.set);
    return sched_setaffinity(0, one.size, one.set) == 0 ? TRUE : FALSE;
}

BOOL UnpinCurrentThread() {
    CpuSet all;
    for (const ProcessorPlace& place : AllowedProcessors()) CPU_SET_S(place.processor, all.size, all.set);
    return sched_setaffinity(0, all.size, all.set) == 0 ? TRUE : FALSE;
}
