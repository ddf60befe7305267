#pragma once
// A folder of a test's own in the system's temporary folder (mode 0755, so that another user a
// test runs as may look inside), removed with all it holds when the test ends; and a file's text.

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

struct TemporaryDirectory {
    std::filesystem::path path;

    explicit TemporaryDirectory(const std::string& prefix = "ferrox-test") {
        namespace fs = std::filesystem;
        std::random_device random;
        do {
            path = fs::temp_directory_path() / (prefix + "-" + std::to_string(random()));
        } while (!fs::create_directory(path));
        fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    }
    ~TemporaryDirectory() {
        // A test may have taken its own rights away to see a write fail.
        std::error_code ignored;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
