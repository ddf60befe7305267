#pragma once
// Where the sysfs sources look: the directory that holds "sys/". It is "/" on a real machine;
// tests and experiments point FERROX_SYSFS_ROOT at a fake tree. A root that is not a directory
// makes every sysfs source absent and leaves one message for the caller to show.

#include <filesystem>
#include <string>
#include <string_view>

inline constexpr const char* kSysfsRootVariable = "FERROX_SYSFS_ROOT";

class SysfsRoot {
public:
    // Checks the root at once; a bad one is kept with its Problem().
    explicit SysfsRoot(std::filesystem::path root);
    // FERROX_SYSFS_ROOT when it is set and not empty, "/" otherwise.
    static SysfsRoot FromEnvironment();

    bool IsUsable() const { return m_problem.empty(); }
    // Empty when usable; otherwise one sentence saying what is wrong and what follows from it.
    const std::string& Problem() const { return m_problem; }
    const std::filesystem::path& Root() const { return m_root; }
    // root/relative as a string, ready for the file readers.
    std::string PathOf(std::string_view relative) const;

private:
    std::filesystem::path m_root;
    std::string m_problem;
};
