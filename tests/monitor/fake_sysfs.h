#pragma once
// A sysfs tree in a temporary directory, laid out as the kernel lays it out, for the monitor's
// tests and benchmarks. The directory is removed with the object.

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "monitor/sysfs_root.h"

class FakeSysfs {
public:
    FakeSysfs();
    ~FakeSysfs();
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    SysfsRoot Root() const { return SysfsRoot(m_root); }
    const std::filesystem::path& Path() const { return m_root; }
    // Writes root/relative, making the folders above it. The file is replaced whole: a reader on
    // another thread sees the old content or the new one, never a part.
    void Write(std::string_view relative, std::string_view content) const;
    // Makes root/relative a symbolic link to root/target, as sysfs links its class folders. Where
    // the system makes no symbolic links (Wine, Windows without the right to), relative becomes a
    // folder that mirrors every later Write and Remove below target.
    void Link(std::string_view relative, std::string_view target) const;
    // Removes a file or a whole folder.
    void Remove(std::string_view relative) const;

private:
    std::filesystem::path m_root;
    mutable std::vector<std::pair<std::string, std::string>> m_mirrors;  // target, link
    mutable unsigned m_staged = 0;  // names the next staged write
};

// A desktop with an Intel processor: coretemp (package and one sensor per core, each with the
// _max and _crit files beside it), acpitz (no label), an NVMe drive, cpufreq and throttle counters
// per processor, and the powercap zones package-0 (core, uncore, dram parts) and psys, plus the
// intel-rapl-mmio copy and the control-type folder the kernel puts beside them.
void WriteIntelDesktop(const FakeSysfs& tree, int processors);
