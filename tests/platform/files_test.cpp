// Reports written where others may write too: the temporary file is Ferrox's own (nothing planted
// under a name it could guess is followed, truncated or renamed into place), only a regular file
// is ever replaced, and a report path is checked by making a file there, not by permission bits.

#include "platform/files.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "other_user.h"
#include "temporary_directory.h"

namespace fs = std::filesystem;

namespace {

void WriteAll(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// What is at path itself (a link is a link): "missing", "file", "link", "fifo", "folder", "other".
std::string KindOf(const fs::path& path) {
    struct stat status{};
    if (lstat(path.c_str(), &status) != 0) return "missing";
    if (S_ISREG(status.st_mode)) return "file";
    if (S_ISLNK(status.st_mode)) return "link";
    if (S_ISFIFO(status.st_mode)) return "fifo";
    if (S_ISDIR(status.st_mode)) return "folder";
    return "other";
}

std::size_t EntriesIn(const fs::path& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
    return count;
}

}  // namespace

// Root writes its report into a folder another user can write to. That user plants, under the
// name the temporary file used to have, something of theirs while the run goes on.
TEST(Files, AReplacementInAFolderOfAnotherUserTouchesNothingOfTheirs) {
    if (const std::string why = OtherUserUnavailable(); !why.empty()) GTEST_SKIP() << why;
    struct Case {
        const char* name;
        const char* planted;  // "link to secret", "link to missing", "their file"
    };
    const Case cases[] = {
        {"a link to a root-only file", "link to secret"},
        {"a link to a file not there yet", "link to missing"},
        {"a file of their own", "their file"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        TemporaryDirectory base("ferrox-files");
        const fs::path secretFolder = base.path / "secret";
        fs::create_directory(secretFolder);
        fs::permissions(secretFolder, fs::perms::owner_all);
        const fs::path secret = secretFolder / "shadow";
        WriteAll(secret, "root's secret\n");
        const fs::path shared = base.path / "shared";
        fs::create_directory(shared);
        ASSERT_TRUE(GiveToOtherUser(shared));
        const fs::path report = shared / "r.json";
        const pid_t runner = getpid();
        const std::string planted = test.planted;
        ASSERT_TRUE(AsOtherUser([&] {
            const std::string name = report.string() + ".partial-" + std::to_string(runner);
            if (planted == "their file") {
                WriteAll(name, "theirs\n");
                return chmod(name.c_str(), 0666) == 0;
            }
            const fs::path target = planted == "link to secret" ? secret : secretFolder / "planted";
            return symlink(target.c_str(), name.c_str()) == 0;
        })) << "the other user could not plant";

        std::string error;
        ASSERT_TRUE(ReplaceFile(report.string(), "{\"verdict\": \"passed\"}\n", &error)) << error;
        EXPECT_EQ(ReadWholeFile(secret), "root's secret\n") << "root's file was written through the planted link";
        EXPECT_EQ(KindOf(secretFolder / "planted"), "missing") << "a file was made where the planted link pointed";
        ASSERT_EQ(KindOf(report), "file") << "the report path is not Ferrox's own file";
        struct stat status{};
        ASSERT_EQ(lstat(report.c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, 0u) << "the report belongs to the other user";
        EXPECT_EQ(ReadWholeFile(report), "{\"verdict\": \"passed\"}\n");
        EXPECT_EQ(EntriesIn(shared), 2u) << "only the report and what was planted";
    }
}

TEST(Files, AReplacementTakesTheUmaskAndLeavesNothingElse) {
    TemporaryDirectory folder("ferrox-files");
    const fs::path report = folder.path / "r.json";
    std::string error;
    for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{002}}) {
        const mode_t old = umask(mask);
        const bool written = ReplaceFile(report.string(), "x\n", &error);
        umask(old);
        ASSERT_TRUE(written) << error;
        struct stat status{};
        ASSERT_EQ(stat(report.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask) << "umask " << std::oct << mask;
    }
    EXPECT_EQ(EntriesIn(folder.path), 1u);
    EXPECT_FALSE(ReplaceFile((folder.path / "missing" / "r.json").string(), "x", &error));
    EXPECT_FALSE(error.empty());
}

// Only a regular file (or nothing) is ever replaced: --report /dev/null must not turn a device, a
// FIFO, a link or a folder into a plain file, neither when the run starts nor when it ends.
TEST(Files, OnlyARegularFileOrNothingIsTakenAsAReportPath) {
    TemporaryDirectory folder("ferrox-files");
    const fs::path regular = folder.path / "old.json";
    WriteAll(regular, "old\n");
    const fs::path fifo = folder.path / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path link = folder.path / "link.json";
    fs::create_symlink(regular, link);
    const fs::path dangling = folder.path / "dangling.json";
    fs::create_symlink(folder.path / "nowhere.json", dangling);
    const fs::path subfolder = folder.path / "sub";
    fs::create_directory(subfolder);
    const fs::path socketPath = folder.path / "socket";
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    // A character device like /dev/null, made here so that no real one is put at risk (root only).
    const fs::path device = folder.path / "null";
    const bool haveDevice = mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;

    struct Case {
        fs::path path;
        bool accepted;
        const char* says;  // part of the reason when refused
    };
    std::vector<Case> cases = {
        {folder.path / "new.json", true, ""},
        {regular, true, ""},
        {fifo, false, "not a regular file"},
        {socketPath, false, "not a regular file"},
        {link, false, "symbolic link"},
        {dangling, false, "symbolic link"},
        {subfolder, false, "is a directory"},
        {folder.path / "missing" / "r.json", false, "missing"},
    };
    if (haveDevice) cases.push_back({device, false, "not a regular file"});
    for (const Case& test : cases) {
        SCOPED_TRACE(test.path.string());
        const std::string kind = KindOf(test.path);
        std::string error;
        EXPECT_EQ(CanWriteFile(test.path.string(), &error), test.accepted) << error;
        if (!test.accepted) {
            EXPECT_NE(error.find(test.says), std::string::npos) << error;
        }
        if (test.accepted || kind == "missing") continue;
        // Also at the end of a run: what was put there meanwhile is left alone.
        EXPECT_FALSE(ReplaceFile(test.path.string(), "report\n", &error));
        EXPECT_EQ(KindOf(test.path), kind) << "replaced by a plain file";
    }
    EXPECT_EQ(ReadWholeFile(regular), "old\n");
    close(listener);
    EXPECT_EQ(EntriesIn(folder.path), 6u + (haveDevice ? 1u : 0u)) << "the checks leave nothing behind";
}

// Permission bits say yes, but the folder takes no new file (here: a file system without a free
// inode; on other machines a quota, a read-only export or a security module).
TEST(Files, AReportFolderIsTriedNotJudgedByItsPermissions) {
    TemporaryDirectory folder("ferrox-files");
    const fs::path mountPoint = folder.path / "full";
    fs::create_directory(mountPoint);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A mount of our own, seen by this child only.
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "nr_inodes=1,size=64k") != 0)
            _exit(77);
        if (access(mountPoint.c_str(), W_OK | X_OK) != 0) _exit(78);
        std::string error;
        const bool accepted = CanWriteFile((mountPoint / "r.json").string(), &error);
        std::fprintf(stderr, "CanWriteFile: %s\n", accepted ? "accepted" : error.c_str());
        _exit(accepted ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot mount a file system of our own here (needs root)";
    ASSERT_NE(WEXITSTATUS(status), 78) << "the test's folder is not writable by its permissions";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a folder that takes no new file was accepted for the report";
}
