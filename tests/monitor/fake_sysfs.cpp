// The fake sysfs tree.

#include "fake_sysfs.h"

#include <chrono>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

FakeSysfs::FakeSysfs() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_root = std::filesystem::temp_directory_path() / ("ferrox_sysfs_" + std::to_string(random()));
        if (std::filesystem::create_directory(m_root)) return;
    }
    throw std::runtime_error("cannot make a temporary folder for the fake sysfs");
}

FakeSysfs::~FakeSysfs() {
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

namespace {
// relative with a mirrored target's folder swapped for its link's; empty when not below target.
std::string Mirrored(std::string_view relative, const std::pair<std::string, std::string>& mirror) {
    const std::string& target = mirror.first;
    if (relative.size() <= target.size() || relative.substr(0, target.size()) != target || relative[target.size()] != '/') return {};
    return mirror.second + std::string(relative.substr(target.size()));
}
}  // namespace

void FakeSysfs::Write(std::string_view relative, std::string_view content) const {
    const std::filesystem::path path = m_root / relative;
    std::filesystem::create_directories(path.parent_path());
    // Whole or not at all, as sysfs gives a value: a sweep thread reading the file meanwhile sees
    // the old content or the new, never an empty or half-written file. The new content is written
    // beside the tree (nothing scans the root itself) and renamed over the old.
    const std::filesystem::path staged = m_root / (".staged-" + std::to_string(m_staged++));
    std::ofstream(staged, std::ios::binary | std::ios::trunc) << content;
    std::error_code refused;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::filesystem::rename(staged, path, refused);
        if (!refused) break;
        // Windows refuses to replace a file another thread has open for a moment: try again.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (refused) throw std::runtime_error("cannot replace " + path.string() + ": " + refused.message());
    for (const auto& mirror : m_mirrors)
        if (const std::string copy = Mirrored(relative, mirror); !copy.empty()) Write(copy, content);
}

void FakeSysfs::Link(std::string_view relative, std::string_view target) const {
    const std::filesystem::path path = m_root / relative;
    std::filesystem::create_directories(path.parent_path());
    std::error_code refused;
    std::filesystem::create_directory_symlink(m_root / target, path, refused);
    if (!refused) return;
    std::filesystem::create_directories(path);
    m_mirrors.emplace_back(std::string(target), std::string(relative));
}

void FakeSysfs::Remove(std::string_view relative) const {
    std::filesystem::remove_all(m_root / relative);
    for (const auto& [target, link] : m_mirrors) {
        if (const std::string copy = Mirrored(relative, {target, link}); !copy.empty()) Remove(copy);
        // The target itself or a folder above it gone: the link dangles, an empty folder here.
        if (target == relative || Mirrored(target, {std::string(relative), ""}).size() > 0) {
            for (const auto& entry : std::filesystem::directory_iterator(m_root / link)) std::filesystem::remove_all(entry.path());
        }
    }
}

void WriteIntelDesktop(const FakeSysfs& tree, int processors) {
    tree.Write("sys/class/hwmon/hwmon0/name", "acpitz\n");
    tree.Write("sys/class/hwmon/hwmon0/temp1_input", "27800\n");
    tree.Write("sys/class/hwmon/hwmon0/temp1_crit", "105000\n");
    tree.Write("sys/class/hwmon/hwmon1/name", "nvme\n");
    const char* nvmeLabels[] = {"Composite", "Sensor 1", "Sensor 2"};
    for (int i = 0; i < 3; ++i) {
        const std::string temp = "sys/class/hwmon/hwmon1/temp" + std::to_string(i + 1);
        tree.Write(temp + "_input", std::to_string(38850 + 1000 * i) + "\n");
        tree.Write(temp + "_label", std::string(nvmeLabels[i]) + "\n");
        tree.Write(temp + "_max", "81850\n");
    }
    // As in sysfs, the class entry links to the chip's folder under its device.
    const std::string coretemp = "sys/devices/platform/coretemp.0/hwmon/hwmon2";
    tree.Link("sys/class/hwmon/hwmon2", coretemp);
    tree.Write(coretemp + "/name", "coretemp\n");
    const int cores = processors > 1 ? processors / 2 : 1;
    for (int i = 0; i <= cores; ++i) {
        const std::string temp = coretemp + "/temp" + std::to_string(i + 1);
        tree.Write(temp + "_input", std::to_string(52000 + 1000 * i) + "\n");
        tree.Write(temp + "_label", i == 0 ? std::string("Package id 0\n") : "Core " + std::to_string(i - 1) + "\n");
        tree.Write(temp + "_max", "100000\n");
        tree.Write(temp + "_crit", "100000\n");
        tree.Write(temp + "_crit_alarm", "0\n");
    }
    for (int cpu = 0; cpu < processors; ++cpu) {
        const std::string directory = "sys/devices/system/cpu/cpu" + std::to_string(cpu);
        tree.Write(directory + "/cpufreq/scaling_cur_freq", std::to_string(3400000 + 1000 * cpu) + "\n");
        tree.Write(directory + "/cpufreq/scaling_max_freq", "4700000\n");
        tree.Write(directory + "/thermal_throttle/core_throttle_count", "0\n");
        tree.Write(directory + "/thermal_throttle/package_throttle_count", "0\n");
        tree.Write(directory + "/topology/physical_package_id", "0\n");
    }
    tree.Write("sys/devices/system/cpu/cpufreq/boost", "1\n");
    tree.Write("sys/devices/system/cpu/online", "0-" + std::to_string(processors - 1) + "\n");
    const char* zones[][2] = {{"intel-rapl:0", "package-0"}, {"intel-rapl:0:0", "core"},
                              {"intel-rapl:0:1", "uncore"},  {"intel-rapl:0:2", "dram"},
                              {"intel-rapl:1", "psys"},      {"intel-rapl-mmio:0", "package-0"}};
    for (const auto& [zone, name] : zones) {
        const std::string directory = std::string("sys/class/powercap/") + zone;
        tree.Write(directory + "/name", std::string(name) + "\n");
        tree.Write(directory + "/energy_uj", "1000000\n");
        tree.Write(directory + "/max_energy_range_uj", "262143328850\n");
        tree.Write(directory + "/enabled", "1\n");
        tree.Write(directory + "/constraint_0_name", "long_term\n");
    }
    tree.Write("sys/class/powercap/intel-rapl/enabled", "1\n");
}
