#pragma once
// Where the sysfs sources look: the directory that holds "sys/". It is "/" on a real machine;
// tests and experiments point FERROX_SYSFS_ROOT at a fake tree. A root that is not a directory
// makes every sysfs source absent and leaves one message for the caller to show. Every file the
// sources read goes through the root: only regular files inside root/sys (links resolved), read
// without blocking and only so far (platform/sensor_file.h), each read reported to the reading
// thread's watch (monitor/sensor_read_watch.h).

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kSysfsRootVariable = "FERROX_SYSFS_ROOT";

// How a file of the tree is read: path, the tree with its links resolved, at most capacity bytes.
using SensorFileReader = std::optional<std::string> (*)(const std::string& path, const std::string& resolvedTree,
                                                        std::size_t capacity);

class SysfsRoot {
public:
    // Checks the root at once; a bad one is kept with its Problem(). reader: the platform's, or a
    // test's own (one that takes its time, say).
    explicit SysfsRoot(std::filesystem::path root, SensorFileReader reader = nullptr);
    // FERROX_SYSFS_ROOT when it is set and not empty, "/" otherwise.
    static SysfsRoot FromEnvironment();

    bool IsUsable() const { return m_problem.empty(); }
    // Empty when usable; otherwise one sentence saying what is wrong and what follows from it.
    const std::string& Problem() const { return m_problem; }
    const std::filesystem::path& Root() const { return m_root; }
    // root/relative as a string, ready for the file readers.
    std::string PathOf(std::string_view relative) const;

    // Up to capacity bytes of the file at path; nothing when it cannot be read (see above) or
    // the reading thread's watch leaves it out.
    std::optional<std::string> ReadFile(const std::string& path, std::size_t capacity) const;
    // Whether ReadFile can open the file now.
    bool CanRead(const std::string& path) const { return ReadFile(path, 0).has_value(); }
    // The names in a directory (following links, as sysfs's class folders are links); nothing
    // when it cannot be listed or is left out.
    std::vector<std::string> ListDirectory(const std::filesystem::path& directory) const;

private:
    std::filesystem::path m_root;
    std::string m_problem;
    std::string m_tree;  // root/sys with its links resolved; empty when there is none
    SensorFileReader m_reader;
};
