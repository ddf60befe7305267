// The sysfs root: chosen by FERROX_SYSFS_ROOT, checked once.

#include "monitor/sysfs_root.h"

#include <cstdlib>
#include <system_error>

SysfsRoot::SysfsRoot(std::filesystem::path root) : m_root(std::move(root)) {
    std::error_code error;
    const auto status = std::filesystem::status(m_root, error);
    if (!std::filesystem::exists(status)) {
        m_problem = "sysfs root \"" + m_root.string() + "\" does not exist; no sensor can be read";
    } else if (!std::filesystem::is_directory(status)) {
        m_problem = "sysfs root \"" + m_root.string() + "\" is not a directory; no sensor can be read";
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
