// The settings kept between runs on Linux: in $XDG_CONFIG_HOME/ferrox (or ~/.config/ferrox), a
// folder of the user's own; written whole and read back; nothing another user planted or controls
// is read or written through; what cannot be read says why instead of crashing or hanging.

#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

#include "other_user.h"
#include "temporary_directory.h"

namespace fs = std::filesystem;

namespace {

// An environment variable set (or, with nullopt, removed) for one scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, std::optional<std::string> value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value) setenv(name, value->c_str(), 1);
        else unsetenv(name);
    }
    ~ScopedEnvironment() {
        if (m_old) setenv(m_name, m_old->c_str(), 1);
        else unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

unsigned ModeOf(const fs::path& path) {
    struct stat status{};
    return lstat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

const SettingsValues kSome = {{"threads", "1"}, {"priority", "high"}, {"load", "avx512"}, {"animated", "false"}};

}  // namespace

TEST(SettingsStore, TheUsersPlaceFollowsTheXdgRules) {
    const struct {
        std::optional<std::string> config, home;
        std::string expected;
    } cases[] = {
        {"/tmp/cfg", "/home/ann", "/tmp/cfg/ferrox/ferrox.conf"},
        {std::nullopt, "/home/ann", "/home/ann/.config/ferrox/ferrox.conf"},
        {"relative/cfg", "/home/ann", "/home/ann/.config/ferrox/ferrox.conf"},  // a relative value is ignored
        {std::nullopt, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        ScopedEnvironment config("XDG_CONFIG_HOME", c.config);
        ScopedEnvironment home("HOME", c.home);
        EXPECT_EQ(UserSettingsLocation(), c.expected);
    }
}

TEST(SettingsStore, WrittenValuesReadBackInAFolderOfTheUsersOwn) {
    TemporaryDirectory home("ferrox-settings");
    ScopedEnvironment config("XDG_CONFIG_HOME", home.path.string());
    const std::string location = UserSettingsLocation();
    SettingsValues values;
    std::string problem;
    ASSERT_TRUE(ReadSettings(location, &values, &problem)) << "nothing kept yet is no problem: " << problem;
    EXPECT_TRUE(values.empty());

    ASSERT_TRUE(WriteSettings(location, kSome, &problem)) << problem;
    EXPECT_EQ(ModeOf(home.path / "ferrox"), 0700u) << "the folder is the user's alone";
    ASSERT_TRUE(ReadSettings(location, &values, &problem)) << problem;
    EXPECT_EQ(values, kSome);
    EXPECT_NE(ReadWholeFile(location).find("priority=high"), std::string::npos) << "an INI file: " << ReadWholeFile(location);

    // A second write keeps exactly its values: what it leaves out is gone.
    const SettingsValues fewer = {{"threads", "auto"}};
    ASSERT_TRUE(WriteSettings(location, fewer, &problem)) << problem;
    ASSERT_TRUE(ReadSettings(location, &values, &problem)) << problem;
    EXPECT_EQ(values, fewer);
    // Nothing is left beside it (no temporary or lock file).
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(home.path / "ferrox")) ++entries;
    EXPECT_EQ(entries, 1u);

    ASSERT_TRUE(ForgetSettings(location, &problem)) << problem;
    EXPECT_FALSE(fs::exists(location));
    EXPECT_TRUE(ForgetSettings(location, &problem)) << "nothing to forget is no problem";
    ASSERT_TRUE(ReadSettings(location, &values, &problem));
    EXPECT_TRUE(values.empty());
}

// A settings path someone else could have prepared: each is refused for reading and writing, and
// what it leads to is left as it was.
TEST(SettingsStore, APlantedOrSharedPlaceIsNeitherReadNorWrittenThrough) {
    const struct {
        const char* what;
        void (*prepare)(const fs::path& folder, const fs::path& file, const fs::path& victim);
        const char* says;
    } cases[] = {
        {"the file is a link to another file",
         [](const fs::path&, const fs::path& file, const fs::path& victim) { fs::create_symlink(victim, file); }, "symbolic link"},
        {"the file is a second name of another file",
         [](const fs::path&, const fs::path& file, const fs::path& victim) { fs::create_hard_link(victim, file); }, "hard links"},
        {"the folder is a link to a folder with settings",
         [](const fs::path& folder, const fs::path&, const fs::path& victim) {
             const fs::path elsewhere = victim.parent_path() / "elsewhere";
             fs::create_directory(elsewhere);
             chmod(elsewhere.c_str(), 0700);
             std::ofstream(elsewhere / "ferrox.conf") << "[General]\nthreads=16\n";
             fs::create_directory_symlink(elsewhere, folder);
         },
         "symbolic link"},
        {"the folder can be written by everyone",
         [](const fs::path& folder, const fs::path& file, const fs::path&) {
             fs::create_directory(folder);
             std::ofstream(file) << "[General]\nthreads=1\n";
             chmod(folder.c_str(), 0777);
         },
         "can be written by other users"},
        {"the file is a folder", [](const fs::path&, const fs::path& file, const fs::path&) { fs::create_directories(file); },
         "not a regular file"},
        {"the file is a FIFO (reading it would wait forever)",
         [](const fs::path&, const fs::path& file, const fs::path&) { mkfifo(file.c_str(), 0600); }, "not a regular file"},
    };
    for (const auto& c : cases) {
        TemporaryDirectory top("ferrox-settings");
        const fs::path folder = top.path / "ferrox", file = folder / "ferrox.conf", victim = top.path / "notes.txt";
        std::ofstream(victim) << "threads=16\n";
        fs::create_directories(folder);
        if (std::string(c.what).find("the folder") == 0) fs::remove(folder);
        c.prepare(folder, file, victim);
        SettingsValues values;
        std::string problem;
        EXPECT_FALSE(ReadSettings(file.string(), &values, &problem)) << c.what;
        EXPECT_NE(problem.find(c.says), std::string::npos) << c.what << ": " << problem;
        EXPECT_TRUE(values.empty()) << c.what;
        problem.clear();
        EXPECT_FALSE(WriteSettings(file.string(), kSome, &problem)) << c.what;
        EXPECT_FALSE(problem.empty()) << c.what;
        EXPECT_EQ(ReadWholeFile(victim), "threads=16\n") << c.what << ": written through";
    }
}

TEST(SettingsStore, AFolderOfAnotherUserIsRefused) {
    if (const std::string why = OtherUserUnavailable(); !why.empty()) GTEST_SKIP() << why;
    TemporaryDirectory top("ferrox-settings");
    const fs::path folder = top.path / "ferrox";
    fs::create_directory(folder);
    std::ofstream(folder / "ferrox.conf") << "[General]\nthreads=1\n";
    ASSERT_EQ(chown(folder.c_str(), kOtherUser, kOtherGroup), 0);
    SettingsValues values;
    std::string problem;
    EXPECT_FALSE(ReadSettings((folder / "ferrox.conf").string(), &values, &problem));
    EXPECT_NE(problem.find("belongs to another user"), std::string::npos) << problem;
    EXPECT_FALSE(WriteSettings((folder / "ferrox.conf").string(), kSome, &problem));
    EXPECT_NE(problem.find("belongs to another user"), std::string::npos) << problem;
}

// What is not a settings file gives a reason, never a crash or a wait; the caller then uses its
// defaults.
TEST(SettingsStore, AFileThatIsNotSettingsSaysWhy) {
    const struct {
        const char* what;
        std::string content;
        const char* says;
    } cases[] = {
        {"bytes of no text", std::string("\x00\x01\x02threads=1\n[[[\n", 17), "not in the settings' format"},
        {"a broken section", "threads=1\n[General\npriority=high\n", "not in the settings' format"},
        {"far too large", std::string(100 * 1024, 'x'), "too large"},
    };
    for (const auto& c : cases) {
        TemporaryDirectory top("ferrox-settings");
        fs::create_directory(top.path / "ferrox", top.path);
        chmod((top.path / "ferrox").c_str(), 0700);
        const fs::path file = top.path / "ferrox" / "ferrox.conf";
        std::ofstream(file, std::ios::binary) << c.content;
        SettingsValues values;
        std::string problem;
        EXPECT_FALSE(ReadSettings(file.string(), &values, &problem)) << c.what;
        EXPECT_NE(problem.find(c.says), std::string::npos) << c.what << ": " << problem;
        EXPECT_TRUE(values.empty()) << c.what;
        // Keeping settings again replaces the broken file.
        ASSERT_TRUE(WriteSettings(file.string(), kSome, &problem)) << c.what << ": " << problem;
        ASSERT_TRUE(ReadSettings(file.string(), &values, &problem)) << c.what << ": " << problem;
        EXPECT_EQ(values, kSome) << c.what;
    }
}

TEST(SettingsStore, AWriteThatCannotBeDoneSaysWhy) {
    TemporaryDirectory top("ferrox-settings");
    // The folder's place is taken by a file.
    std::ofstream(top.path / "ferrox") << "not a folder\n";
    std::string problem;
    EXPECT_FALSE(WriteSettings((top.path / "ferrox" / "ferrox.conf").string(), kSome, &problem));
    EXPECT_NE(problem.find("ferrox"), std::string::npos) << problem;
    EXPECT_FALSE(WriteSettings("", kSome, &problem));
    EXPECT_NE(problem.find("no place"), std::string::npos) << problem;
}
