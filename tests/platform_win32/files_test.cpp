// Files on Windows: a replacement is all or nothing (a refused rename leaves the old content and
// no temporary file), appends from several threads arrive as whole lines, and the checks and
// directories work with UTF-8 names.

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/win32/text.h"

namespace {

struct TemporaryDirectory {
    std::filesystem::path path;
    TemporaryDirectory() {
        std::random_device random;
        path = std::filesystem::temp_directory_path() / ("ferrox-files-" + std::to_string(random()));
        std::filesystem::create_directories(path);
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string File(const std::string& utf8Name) const { return Utf8((path / Utf16(utf8Name)).wstring()); }
};

std::string ReadAll(const std::string& utf8Path) {
    std::ifstream in(std::filesystem::path(Utf16(utf8Path)), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t EntriesIn(const std::filesystem::path& directory) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) ++count;
    return count;
}

}  // namespace

TEST(Win32Files, AReplacementIsWholeOrNotAtAll) {
    TemporaryDirectory directory;
    const std::string report = directory.File("r\xC3\xA9port.json");
    std::string error;
    ASSERT_TRUE(ReplaceFile(report, "old\n", &error)) << error;
    ASSERT_EQ(ReadAll(report), "old\n");

    // Another program holds the file open without letting it be deleted: the rename is refused,
    // and the old content and nothing else stays.
    HANDLE holder = CreateFileW(Utf16(report).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ReplaceFile(report, std::string(100000, 'n'), &error));
    EXPECT_NE(error.find("cannot replace"), std::string::npos) << error;
    CloseHandle(holder);
    EXPECT_EQ(ReadAll(report), "old\n");
    EXPECT_EQ(EntriesIn(directory.path), 1u) << "the temporary file is removed";

    ASSERT_TRUE(ReplaceFile(report, "new\n", &error)) << error;
    EXPECT_EQ(ReadAll(report), "new\n");
    EXPECT_EQ(EntriesIn(directory.path), 1u);
    EXPECT_FALSE(ReplaceFile(directory.File("missing/x.json"), "x", &error));
}

// A file left (or planted) under a name the temporary file could have had is never opened,
// truncated or moved into place; only a regular file is taken as a report path.
TEST(Win32Files, AReplacementMakesItsOwnFileAndReplacesOnlyAFile) {
    TemporaryDirectory directory;
    const std::string report = directory.File("r.json");
    const std::string planted = report + ".partial-" + std::to_string(GetCurrentProcessId());
    std::ofstream(std::filesystem::path(Utf16(planted)), std::ios::binary) << "theirs\n";
    std::string error;
    ASSERT_TRUE(ReplaceFile(report, "report\n", &error)) << error;
    EXPECT_EQ(ReadAll(planted), "theirs\n") << "the file already there was opened";
    EXPECT_EQ(ReadAll(report), "report\n");
    EXPECT_EQ(EntriesIn(directory.path), 2u);

    for (const std::string& refused : {std::string("NUL"), directory.File("CON"), directory.path.string()}) {
        SCOPED_TRACE(refused);
        EXPECT_FALSE(CanWriteFile(refused, &error));
        EXPECT_FALSE(ReplaceFile(refused, "report\n", &error));
    }
    EXPECT_TRUE(std::filesystem::is_directory(directory.path));
    EXPECT_EQ(EntriesIn(directory.path), 2u) << "the checks leave nothing behind";
}

TEST(Win32Files, AppendsFromSeveralThreadsArriveAsWholeLines) {
    TemporaryDirectory directory;
    const std::string log = directory.File("ferrox.log");
    constexpr int kWriters = 2, kLines = 400;
    const std::string filler(300, 'x');  // long lines: more room for a torn write to show
    std::vector<std::thread> writers;
    std::atomic<int> failures{0};
    for (int writer = 0; writer < kWriters; ++writer) {
        writers.emplace_back([&, writer] {
            for (int line = 0; line < kLines; ++line) {
                const std::string text = "writer " + std::to_string(writer) + " line " + std::to_string(line) + " " + filler + "\n";
                if (!AppendToFile(log, text, nullptr)) ++failures;
            }
        });
    }
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(failures.load(), 0);
    std::istringstream lines(ReadAll(log));
    int next[kWriters] = {};
    int total = 0;
    for (std::string line; std::getline(lines, line); ++total) {
        int writer = -1, number = -1;
        char rest[8] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "writer %d line %d %7s", &writer, &number, rest), 3) << line;
        ASSERT_TRUE(writer >= 0 && writer < kWriters) << line;
        EXPECT_EQ(number, next[writer]++) << "each writer's lines in its own order";
        EXPECT_EQ(line, "writer " + std::to_string(writer) + " line " + std::to_string(number) + " " + filler);
    }
    EXPECT_EQ(total, kWriters * kLines);
}

// A log with a second name (a hard link to a file elsewhere) is not written through.
TEST(Win32Files, AnAppendRefusesALogWithAnotherName) {
    TemporaryDirectory directory;
    std::string error;
    ASSERT_TRUE(MakePrivateDirectory(directory.File("state/ferrox"), &error)) << error;
    const std::string log = directory.File("state/ferrox/ferrox.log");
    const std::string elsewhere = directory.File("elsewhere.txt");
    std::ofstream(std::filesystem::path(Utf16(elsewhere)), std::ios::binary) << "kept\n";
    if (!CreateHardLinkW(Utf16(log).c_str(), Utf16(elsewhere).c_str(), nullptr)) GTEST_SKIP() << "no hard links here";
    EXPECT_FALSE(AppendToFile(log, "line\n", &error));
    EXPECT_NE(error.find("hard link"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(elsewhere), "kept\n");
    const std::string own = directory.File("state/ferrox/own.log");
    EXPECT_TRUE(AppendToFile(own, "line\n", &error)) << error;
    EXPECT_EQ(ReadAll(own), "line\n");
}

TEST(Win32Files, ChecksAndDirectoriesTakeUtf8Names) {
    TemporaryDirectory directory;
    std::string error;
    const std::string nested = directory.File("\xC3\xA9t\xC3\xA9/a/b");
    EXPECT_TRUE(MakeDirectories(nested, &error)) << error;
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(Utf16(nested))));
    EXPECT_TRUE(MakeDirectories(nested, &error)) << "already there is fine";

    EXPECT_TRUE(CanWriteFile(nested + "/report.json", &error)) << error;
    EXPECT_EQ(EntriesIn(std::filesystem::path(Utf16(nested))), 0u) << "the check leaves nothing behind";
    EXPECT_FALSE(CanWriteFile(nested, &error));
    EXPECT_NE(error.find("is a directory"), std::string::npos) << error;
    EXPECT_FALSE(CanWriteFile(directory.File("nowhere/report.json"), &error));
    EXPECT_FALSE(CanWriteFile("", &error));

    ASSERT_TRUE(ReplaceFile(directory.File("file"), "x", &error));
    EXPECT_FALSE(MakeDirectories(directory.File("file/below"), &error));
    EXPECT_FALSE(error.empty());
}

TEST(Win32Files, TheStateDirectoryIsLocalAppData) {
    wchar_t saved[1024] = {};
    const bool had = GetEnvironmentVariableW(L"LOCALAPPDATA", saved, 1024) > 0;
    SetEnvironmentVariableW(L"LOCALAPPDATA", L"C:\\Users\\t\\AppData\\Local");
    EXPECT_EQ(UserStateDirectory(), "C:\\Users\\t\\AppData\\Local");
    SetEnvironmentVariableW(L"LOCALAPPDATA", L"relative\\place");
    EXPECT_EQ(UserStateDirectory(), "");
    SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
    EXPECT_EQ(UserStateDirectory(), "");
    SetEnvironmentVariableW(L"LOCALAPPDATA", had ? saved : nullptr);
}
