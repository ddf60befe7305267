// The sysfs root: chosen by FERROX_SYSFS_ROOT, checked once; the one door to the tree's files.

#include "monitor/sysfs_root.h"

#include <cstdlib>
#include <system_error>

#include "monitor/sensor_read_watch.h"
#include "platform/sensor_file.h"

SysfsRoot::SysfsRoot(std::filesystem::path root, SensorFileReader reader)
    : m_root(std::move(root)), m_reader(reader != nullptr ? reader : &ReadSensorFile) {
    std::error_code error;
    const auto status = std::filesystem::status(m_root, error);
    if (!std::filesystem::exists(status)) {
        m_problem = "sysfs root \"" + m_root.string() + "\" does not exist; no sensor can be read";
    } else if (!std::filesystem::is_directory(status)) {
        m_problem = "sysfs root \"" + m_root.string() + "\" is not a directory; no sensor can be read";
    } else {
        m_tree = ResolveSensorTree(PathOf("sys"));
    }
}

SysfsRoot SysfsRoot::FromEnvironment() {
    const char* value = std::getenv(kSysfsRootVariable);
    if (value == nullptr || *value == '\0') return SysfsRoot("/");
    SysfsRoot root{std::filesystem::path(value)};
    if (!root.IsUsable()) root.m_problem = std::string(kSysfsRootVariable) + ": " + root.m_problem;
    return root;
}

std::string SysfsRoot::PathOf(std::string_view relative) const {
    return (m_root / relative).string();
}

std::optional<std::string> SysfsRoot::ReadFile(const std::string& path, std::size_t capacity) const {
    if (m_tree.empty()) return std::nullopt;
    const WatchedRead read(path);
    if (!read.Allowed()) return std::nullopt;
    return m_reader(path, m_tree, capacity);
}

std::vector<std::string> SysfsRoot::ListDirectory(const std::filesystem::path& directory) const {
    std::vector<std::string> names;
    if (m_tree.empty()) return names;
    const WatchedRead read(directory.string());
    if (!read.Allowed()) return names;
    std::error_code error;
    std::filesystem::directory_iterator it(directory, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error))
        names.push_back(it->path().filename().string());
    return names;
}
