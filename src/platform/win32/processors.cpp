// Processors from the process's affinity and GetLogicalProcessorInformationEx's cores and
// packages. Windows counts processors in groups of up to 64; Ferrox's number of a processor is
// its place in the machine's list: the processors of the groups before its own, plus its number
// in its group.

#include "platform/win32/windows_api.h"

#include <memory>

#include "platform/common/processor_backend.h"
#include "platform/win32/kernel_calls.h"

namespace {

struct GroupPlace {
    WORD group = 0;
    BYTE number = 0;
};

// The first Ferrox number of every active group.
std::vector<int> GroupStarts() {
    std::vector<int> starts;
    int next = 0;
    const WORD groups = GetActiveProcessorGroupCount();
    for (WORD group = 0; group < groups; ++group) {
        starts.push_back(next);
        next += static_cast<int>(GetActiveProcessorCount(group));
    }
    if (starts.empty()) starts.push_back(0);
    return starts;
}

const std::vector<int>& Groups() {
    static const std::vector<int> starts = GroupStarts();
    return starts;
}

int ProcessorNumber(WORD group, BYTE number) {
    return group < Groups().size() ? Groups()[group] + number : -1;
}

bool GroupPlaceOf(int processor, GroupPlace* place) {
    if (processor < 0) return false;
    for (std::size_t group = Groups().size(); group-- > 0;) {
        if (processor >= Groups()[group]) {
            const int number = processor - Groups()[group];
            if (number >= 64 || number >= static_cast<int>(GetActiveProcessorCount(static_cast<WORD>(group)))) return false;
            *place = GroupPlace{static_cast<WORD>(group), static_cast<BYTE>(number)};
            return true;
        }
    }
    return false;
}

// Cores and packages, numbered in the order Windows lists them (it gives no ids of its own).
struct Topology {
    std::vector<int> core, package;  // by Ferrox processor number; -1 where unknown
};

void MarkRelation(const SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX& relation, std::vector<int>& byProcessor, int index) {
    const PROCESSOR_RELATIONSHIP& processor = relation.Processor;
    for (WORD i = 0; i < processor.GroupCount; ++i) {
        const GROUP_AFFINITY& affinity = processor.GroupMask[i];
        for (int bit = 0; bit < 64; ++bit) {
            if ((affinity.Mask >> bit & 1) == 0) continue;
            const int number = ProcessorNumber(affinity.Group, static_cast<BYTE>(bit));
            if (number >= 0 && number < static_cast<int>(byProcessor.size())) byProcessor[static_cast<std::size_t>(number)] = index;
        }
    }
}

Topology ReadTopology(int processors) {
    Topology topology{std::vector<int>(static_cast<std::size_t>(processors), -1),
                      std::vector<int>(static_cast<std::size_t>(processors), -1)};
    Win32DWORD bytes = 0;
    GetLogicalProcessorInformationEx(RelationAll, nullptr, &bytes);
    if (bytes == 0) return topology;
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[bytes]);
    auto* first = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.get());
    if (!GetLogicalProcessorInformationEx(RelationAll, first, &bytes)) return topology;
    int cores = 0, packages = 0;
    std::vector<int> coreIndex(static_cast<std::size_t>(processors), -1);
    for (Win32DWORD offset = 0; offset < bytes;) {
        const auto* relation = reinterpret_cast<const SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.get() + offset);
        if (relation->Size == 0) break;
        if (relation->Relationship == RelationProcessorCore) MarkRelation(*relation, coreIndex, cores++);
        if (relation->Relationship == RelationProcessorPackage) MarkRelation(*relation, topology.package, packages++);
        offset += relation->Size;
    }
    // A core's number in its package (as Linux's core_id): the cores met before it there.
    std::vector<std::vector<int>> packageCores(static_cast<std::size_t>(packages > 0 ? packages : 1));
    for (int processor = 0; processor < processors; ++processor) {
        const int core = coreIndex[static_cast<std::size_t>(processor)];
        const int package = topology.package[static_cast<std::size_t>(processor)];
        if (core < 0 || package < 0) continue;
        std::vector<int>& seen = packageCores[static_cast<std::size_t>(package)];
        std::size_t place = 0;
        while (place < seen.size() && seen[place] != core) ++place;
        if (place == seen.size()) seen.push_back(core);
        topology.core[static_cast<std::size_t>(processor)] = static_cast<int>(place);
    }
    return topology;
}

}  // namespace

// The process's processors: its affinity within its group, or every processor of its groups
// when Windows spread it over several.
std::vector<ProcessorPlace> ReadAllowedProcessors() {
    const int total = Groups().back() + static_cast<int>(GetActiveProcessorCount(static_cast<WORD>(Groups().size() - 1)));
    const Topology topology = ReadTopology(total);
    std::vector<ProcessorPlace> places;
    auto add = [&](WORD group, std::uint64_t mask) {
        for (int bit = 0; bit < 64; ++bit) {
            if ((mask >> bit & 1) == 0) continue;
            const int number = ProcessorNumber(group, static_cast<BYTE>(bit));
            if (number < 0 || number >= total) continue;
            places.push_back(ProcessorPlace{number, topology.core[static_cast<std::size_t>(number)],
                                            topology.package[static_cast<std::size_t>(number)]});
        }
    };
    USHORT groups[16] = {};
    USHORT groupCount = 16;
    if (GetProcessGroupAffinity(kernel::CurrentProcess(), &groupCount, groups) && groupCount > 1) {
        for (USHORT i = 0; i < groupCount; ++i) {
            const Win32DWORD count = GetActiveProcessorCount(groups[i]);
            add(groups[i], count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1);
        }
    } else {
        DWORD_PTR processMask = 0, systemMask = 0;
        if (GetProcessAffinityMask(kernel::CurrentProcess(), &processMask, &systemMask))
            add(groupCount == 1 ? groups[0] : 0, processMask);
    }
    return places;
}

int CurrentProcessor() {
    PROCESSOR_NUMBER where{};
    GetCurrentProcessorNumberEx(&where);
    return ProcessorNumber(where.Group, where.Number);
}

BOOL PinCurrentThread(int processor) {
    bool allowed = false;
    for (const ProcessorPlace& place : AllowedProcessors()) allowed = allowed || place.processor == processor;
    GroupPlace place;
    if (!allowed || !GroupPlaceOf(processor, &place)) return FALSE;
    GROUP_AFFINITY affinity{};
    affinity.Group = place.group;
    affinity.Mask = KAFFINITY{1} << place.number;
    if (!SetThreadGroupAffinity(kernel::CurrentThread(), &affinity, nullptr)) return FALSE;
    // The new affinity applies from the next time the thread is scheduled: give way once, so
    // that it runs there when this returns.
    if (CurrentProcessor() != processor) SleepNative(0);
    return TRUE;
}

BOOL UnpinCurrentThread() {
    // A thread runs in one group at a time: every allowed processor of the group it is in.
    GroupPlace current;
    if (!GroupPlaceOf(CurrentProcessor(), &current)) current = GroupPlace{};
    GROUP_AFFINITY affinity{};
    affinity.Group = current.group;
    for (const ProcessorPlace& place : AllowedProcessors()) {
        GroupPlace group;
        if (GroupPlaceOf(place.processor, &group) && group.group == current.group) affinity.Mask |= KAFFINITY{1} << group.number;
    }
    return affinity.Mask != 0 && SetThreadGroupAffinity(kernel::CurrentThread(), &affinity, nullptr) ? TRUE : FALSE;
}
