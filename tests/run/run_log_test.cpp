// The run log: whole lines only ever appended, by several processes at once; an unwritable place
// reported once.

#include "run/run_log.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

struct TemporaryDirectory {
    std::filesystem::path path;
    TemporaryDirectory() {
        std::random_device random;
        do {
            path = std::filesystem::temp_directory_path() / ("ferrox-run-log-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(path));
    }
    ~TemporaryDirectory() {
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(path);
    }
};

[[maybe_unused]] std::vector<std::string> Lines(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

#ifndef _WIN32
// Writers in processes of their own (Windows has no fork: the Win32 backend's tests append from
// several threads instead).
TEST(RunLog, ConcurrentWritersNeverLoseOrMixLines) {
    TemporaryDirectory directory;
    const std::string path = (directory.path / "state" / "ferrox" / "ferrox.log").string();
    RunLog first(path);
    ASSERT_TRUE(first.Write("an earlier run"));
    constexpr int kWriters = 3, kLines = 500;
    const std::string filler(200, 'x');  // long lines: more room for a torn write to show
    pid_t children[kWriters];
    for (int writer = 0; writer < kWriters; ++writer) {
        children[writer] = fork();
        ASSERT_GE(children[writer], 0);
        if (children[writer] == 0) {
            RunLog log(path);
            for (int line = 0; line < kLines; ++line)
                if (!log.Write("writer " + std::to_string(writer) + " line " + std::to_string(line) + " " + filler)) _exit(1);
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::vector<std::string> lines = Lines(path);
    ASSERT_EQ(lines.size(), 1u + kWriters * kLines);
    EXPECT_NE(lines[0].find("an earlier run"), std::string::npos);
    int perWriter[kWriters] = {};
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::size_t at = lines[i].find(" writer ");
        ASSERT_NE(at, std::string::npos) << lines[i];
        const int writer = lines[i][at + 8] - '0';
        ASSERT_TRUE(writer >= 0 && writer < kWriters) << lines[i];
        // Each writer's lines arrive whole and in its own order.
        EXPECT_EQ(lines[i].substr(at + 1), "writer " + std::to_string(writer) + " line " +
                                               std::to_string(perWriter[writer]) + " " + filler);
        ++perWriter[writer];
    }
}

#endif

TEST(RunLog, AnUnwritablePlaceIsReportedOnceAndNothingBreaks) {
#ifdef _WIN32
    const bool permissionsHold = false;  // a read-only attribute does not stop new files in a directory
#else
    const bool permissionsHold = geteuid() != 0;
#endif
    if (!permissionsHold) {
        // Root writes through permissions: use a path below a file instead.
        TemporaryDirectory directory;
        std::ofstream(directory.path / "file") << "";
        RunLog log((directory.path / "file" / "ferrox.log").string());
        EXPECT_FALSE(log.Write("start"));
        EXPECT_FALSE(log.Write("error"));
        const std::string problem = log.TakeNewProblem();
        EXPECT_FALSE(problem.empty());
        EXPECT_TRUE(log.TakeNewProblem().empty()) << "reported once";
        return;
    }
    TemporaryDirectory directory;
    std::filesystem::permissions(directory.path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    RunLog log((directory.path / "ferrox" / "ferrox.log").string());
    EXPECT_FALSE(log.Write("start"));
    EXPECT_FALSE(log.TakeNewProblem().empty());
    EXPECT_TRUE(log.TakeNewProblem().empty());
}
