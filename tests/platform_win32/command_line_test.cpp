// The Win32 command line parser against what the Linux build's QCommandLineParser does with the
// same options (each expectation below was read from Qt 6.4 with the settings Ferrox uses), and
// the help text laid out as Qt's, wrapping included.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/command_line.h"

namespace {

const std::vector<CommandLineOption> kOptions = {
    {"threads", "N|auto", "Load N processors, or every one (auto, the default)."},
    {"headless", "", "No window and no display: one status line per second on stdout, and a much longer tail that has to wrap twice over the width of the terminal window."},
    {"report", "FILE", "Write a JSON report to FILE."},
    {"x", "", "Short."},
    {"averyveryveryveryveryveryveryveryveryverylongoptionname", "VALUE",
     "Unbroken_description_that_has_no_space_at_all_and_goes_on_and_on_for_ever_and_ever_more"},
};

ParsedCommandLine Parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "ferrox.exe");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return ParseCommandLine(static_cast<int>(arguments.size()), argv.data(), kOptions);
}

std::vector<std::string> ValuesOf(const ParsedCommandLine& parsed, const std::string& name) {
    const auto found = parsed.values.find(name);
    return found != parsed.values.end() ? found->second : std::vector<std::string>{};
}

}  // namespace

TEST(CommandLine, ParsesAsQtDoes) {
    using List = std::vector<std::string>;
    const struct {
        List arguments;
        std::string error;  // empty: accepted
        List given, threads, arguments_;
    } cases[] = {
        {{"--threads", "2", "--headless"}, "", {"threads", "headless"}, {"2"}, {}},
        {{"--threads=3"}, "", {"threads"}, {"3"}, {}},
        {{"-threads", "4"}, "", {"threads"}, {"4"}, {}},
        {{"-threads=5"}, "", {"threads"}, {"5"}, {}},
        // A value is whatever follows, also when it looks like an option.
        {{"--threads", "--headless"}, "", {"threads"}, {"--headless"}, {}},
        {{"--threads", "1", "--threads=2"}, "", {"threads", "threads"}, {"1", "2"}, {}},
        {{"file", "--headless", "-", "--", "--threads"}, "", {"headless"}, {}, {"file", "-", "--threads"}},
        {{"--x"}, "", {"x"}, {}, {}},
        {{"-x"}, "", {"x"}, {}, {}},
        {{}, "", {}, {}, {}},
        {{"--threads"}, "Missing value after '--threads'.", {}, {}, {}},
        {{"--bogus"}, "Unknown option 'bogus'.", {}, {}, {}},
        {{"--bogus", "-x2"}, "Unknown options: bogus, x2.", {}, {}, {}},
        {{"--headless=1"}, "Unexpected value after '--headless'.", {}, {}, {}},
        // A value error is told before unknown options, and the last value error wins.
        {{"--bogus", "--threads"}, "Missing value after '--threads'.", {}, {}, {}},
        {{"--headless=1", "--threads"}, "Missing value after '--threads'.", {}, {}, {}},
        {{"--=3"}, "Unknown option ''.", {}, {}, {}},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const std::string& argument : c.arguments) shown += " " + argument;
        SCOPED_TRACE("ferrox" + shown);
        const ParsedCommandLine parsed = Parse(c.arguments);
        EXPECT_EQ(parsed.ok, c.error.empty());
        EXPECT_EQ(parsed.error, c.error);
        EXPECT_EQ(parsed.given, c.given);
        EXPECT_EQ(ValuesOf(parsed, "threads"), c.threads);
        EXPECT_EQ(parsed.arguments, c.arguments_);
    }
}

TEST(CommandLine, EmptyAndUtf8ValuesArriveAsGiven) {
    const ParsedCommandLine empty = Parse({"--report="});
    ASSERT_TRUE(empty.ok);
    EXPECT_EQ(ValuesOf(empty, "report"), std::vector<std::string>{""});
    const std::string name = "r\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC.json";
    const ParsedCommandLine utf8 = Parse({"--report", name});
    ASSERT_TRUE(utf8.ok);
    EXPECT_EQ(ValuesOf(utf8, "report"), std::vector<std::string>{name});
}

TEST(CommandLine, HelpIsLaidOutAsQtLaysItOut) {
    // Names padded to the longest plus one (at most 50), descriptions wrapped at column 79 on
    // spaces, words longer than the room cut; names longer than the column go on below.
    const std::string expected =
        "Usage: ferrox [options]\n"
        "Test program.\n"
        "\n"
        "Options:\n"
        "  --threads <N|auto>                                 Load N processors, or\n"
        "                                                     every one (auto, the\n"
        "                                                     default).\n"
        "  --headless                                         No window and no display:\n"
        "                                                     one status line per second\n"
        "                                                     on stdout, and a much\n"
        "                                                     longer tail that has to\n"
        "                                                     wrap twice over the width\n"
        "                                                     of the terminal window.\n"
        "  --report <FILE>                                    Write a JSON report to\n"
        "                                                     FILE.\n"
        "  -x                                                 Short.\n"
        "  --averyveryveryveryveryveryveryveryveryverylongopt Unbroken_description_that_\n"
        "  ionname <VALUE>                                    has_no_space_at_all_and_goe\n"
        "                                                     s_on_and_on_for_ever_and_ev\n"
        "                                                     er_more\n";
    EXPECT_EQ(CommandLineHelp("ferrox", "Test program.", kOptions), expected);
    EXPECT_EQ(CommandLineHelp("ferrox", "", {{"pin", "", "Pin."}}), "Usage: ferrox [options]\n\nOptions:\n  --pin  Pin.\n");
}
