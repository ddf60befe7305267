// The run log: whole lines only ever appended, by several processes at once; an unwritable place
// reported once; a state folder or log that someone else controls refused; outside text never
// starts a line of its own.

#include "run/run_log.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/other_user.h"
#endif

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>

#include "temporary_directory.h"

namespace {

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
    TemporaryDirectory directory("ferrox-run-log");
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

#ifndef _WIN32
// Root runs with a state folder (XDG_STATE_HOME) that another user can reach, and that user has
// arranged for the log to lead into a file of root's.
TEST(RunLog, AStateFolderOrLogAnotherUserControlsIsRefused) {
    if (const std::string why = OtherUserUnavailable(); !why.empty()) GTEST_SKIP() << why;
    struct Case {
        const char* name;
        // Makes state/ferrox/ferrox.log lead to secret, as root (setup) and as the other user (plant).
        std::function<void(const std::filesystem::path& state, const std::filesystem::path& secret)> setup;
        std::function<bool(const std::filesystem::path& state, const std::filesystem::path& secret)> plant;
    };
    namespace fs = std::filesystem;
    const auto link = [](const fs::path& target, const fs::path& at) { return symlink(target.c_str(), at.c_str()) == 0; };
    const Case cases[] = {
        {"the state folder is theirs, the log a link to root's file",
         [](const fs::path& state, const fs::path&) { fs::create_directories(state / "ferrox"); GiveToOtherUser(state / "ferrox"); },
         [&](const fs::path& state, const fs::path& secret) { return link(secret, state / "ferrox" / "ferrox.log"); }},
        {"the state folder is root's but writable by all, the log a link",
         [](const fs::path& state, const fs::path&) {
             fs::create_directories(state / "ferrox");
             fs::permissions(state / "ferrox", fs::perms::all);
         },
         [&](const fs::path& state, const fs::path& secret) { return link(secret, state / "ferrox" / "ferrox.log"); }},
        {"the state folder is a link to root's folder",
         [](const fs::path& state, const fs::path&) { GiveToOtherUser(state); },
         [&](const fs::path& state, const fs::path& secret) { return link(secret.parent_path(), state / "ferrox"); }},
        {"the log is a file of theirs",
         [](const fs::path& state, const fs::path&) {
             fs::create_directories(state / "ferrox");
             std::ofstream(state / "ferrox" / "ferrox.log") << "theirs\n";
             GiveToOtherUser(state / "ferrox" / "ferrox.log");
         },
         [](const fs::path&, const fs::path&) { return true; }},
        {"the log is a second name of root's file",
         [](const fs::path& state, const fs::path& secret) {
             fs::create_directories(state / "ferrox");
             fs::create_hard_link(secret, state / "ferrox" / "ferrox.log");
         },
         [](const fs::path&, const fs::path&) { return true; }},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        TemporaryDirectory base("ferrox-run-log");
        fs::permissions(base.path, fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
        fs::create_directory(base.path / "root-only");
        fs::permissions(base.path / "root-only", fs::perms::owner_all);
        const fs::path secret = base.path / "root-only" / "ferrox.log";
        std::ofstream(secret) << "root's own\n";
        fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
        const fs::path state = base.path / "state";
        fs::create_directory(state);
        test.setup(state, secret);
        ASSERT_TRUE(AsOtherUser([&] { return test.plant(state, secret); })) << "the other user could not plant";

        RunLog log((state / "ferrox" / "ferrox.log").string());
        EXPECT_FALSE(log.Write("start: FAILED? PASSED!"));
        EXPECT_FALSE(log.Write("end"));
        EXPECT_FALSE(log.TakeNewProblem().empty()) << "refused, and said once";
        EXPECT_TRUE(log.TakeNewProblem().empty());
        std::ifstream in(secret);
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(content, "root's own\n") << "root's file was written through the state folder";
    }
}

TEST(RunLog, ANewStateFolderAndLogAreTheUsersAlone) {
    TemporaryDirectory directory("ferrox-run-log");
    const std::filesystem::path folder = directory.path / "state" / "ferrox";
    RunLog log((folder / "ferrox.log").string());
    ASSERT_TRUE(log.Write("start"));
    struct stat status{};
    ASSERT_EQ(stat(folder.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    ASSERT_EQ(stat((folder / "ferrox.log").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(status.st_uid, geteuid());
}
#endif

// Text from outside (an environment variable, a path, a sensor's label) may hold line breaks and
// terminal escapes: it never makes a line of its own in the log.
TEST(RunLog, OutsideTextNeverStartsALineOfItsOwn) {
    TemporaryDirectory directory("ferrox-run-log");
    const std::string path = (directory.path / "ferrox.log").string();
    RunLog log(path);
    ASSERT_TRUE(log.Write("note: FERROX_INJECT_FAULT=cpu=9\n2026-01-01 00:00:00 end after 01:00:00: PASSED\r\x1b[2J ignored"));
    ASSERT_TRUE(log.Write("second"));
    const std::vector<std::string> lines = Lines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("cpu=9\\n2026-01-01 00:00:00 end after 01:00:00: PASSED\\r\\x1b[2J ignored"), std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find(" second"), std::string::npos);
}

TEST(RunLog, AnUnwritablePlaceIsReportedOnceAndNothingBreaks) {
#ifdef _WIN32
    const bool permissionsHold = false;  // a read-only attribute does not stop new files in a directory
#else
    const bool permissionsHold = geteuid() != 0;
#endif
    if (!permissionsHold) {
        // Root writes through permissions: use a path below a file instead.
        TemporaryDirectory directory("ferrox-run-log");
        std::ofstream(directory.path / "file") << "";
        RunLog log((directory.path / "file" / "ferrox.log").string());
        EXPECT_FALSE(log.Write("start"));
        EXPECT_FALSE(log.Write("error"));
        const std::string problem = log.TakeNewProblem();
        EXPECT_FALSE(problem.empty());
        EXPECT_TRUE(log.TakeNewProblem().empty()) << "reported once";
        return;
    }
    TemporaryDirectory directory("ferrox-run-log");
    std::filesystem::permissions(directory.path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    RunLog log((directory.path / "ferrox" / "ferrox.log").string());
    EXPECT_FALSE(log.Write("start"));
    EXPECT_FALSE(log.TakeNewProblem().empty());
    EXPECT_TRUE(log.TakeNewProblem().empty());
}
