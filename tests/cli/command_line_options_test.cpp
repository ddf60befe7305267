#include "cli/command_line_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/exit_status.h"

namespace {

// automaticThreads: what "auto" stands for on the machine the parse imagines.
ParseOutcome Parse(std::vector<std::string> arguments, CommandLine* line, unsigned automaticThreads = 8) {
    arguments.insert(arguments.begin(), "ferrox");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return ParseFerroxCommandLine(static_cast<int>(arguments.size()), argv.data(), automaticThreads, line);
}

struct Refused {
    std::vector<std::string> arguments;
    std::string named;  // the message must name this
};

TEST(CommandLineOptions, RefusesBadValuesWithStatusOneNamingTheOptionAndTheAcceptedValues) {
    const Refused cases[] = {
        {{"--threads", "4x"}, "--threads takes a whole number from 1 to 16, or auto"},
        {{"--threads", "-1"}, "--threads"},
        {{"--threads=99999999999999999999"}, "--threads"},
        {{"--priority", "idle"}, "low, normal, high or realtime"},
        {{"--load", "sse"}, "builtin, avx2, avx512, widest, cache or memory"},
        {{"--load", "memory", "--memory", "2X"}, "--memory takes a size such as 512M, 2G or 1.5T"},
        {{"--load", "memory", "--memory", "2048"}, "not '2048'"},
        {{"--load", "memory", "--memory", "0%"}, "above 0% and up to 100%"},
        {{"--load", "memory", "--memory", "101%"}, "--memory"},
        {{"--load", "memory", "--memory", "100000G"}, "--memory 100000.0 GiB does not fit"},
        {{"--load", "memory", "--memory", "1M"}, "--memory 1 MiB is too small: the memory load needs at least 16 MiB"},
        {{"--memory", "2G"}, "--memory sizes the memory load's buffer: give it with --load memory"},
        {{"--cycle", "0"}, "--cycle takes whole seconds"},
        {{"--cycle", "1.5"}, "--cycle"},
        {{"--cycle", "10", "--threads", "2"}, "cannot be given with --threads"},
        {{"--cycle", "10", "--no-pin"}, "--no-pin"},
        {{"--pin", "--no-pin"}, "contradict"},
        {{"--duration", "10x"}, "90s, 10m, 2h or 1h30m"},
        {{"--duration", "0"}, "--duration"},
        {{"--duration", "400d"}, "--duration"},
        {{"--headless", "--minimized"}, "--minimized"},
        {{"--json"}, "--json changes the headless status lines"},
        {{"--report="}, "--report needs a file name"},
        {{"--metrics="}, "--metrics needs a file name"},
        {{"--metrics", "-"}, "not stdout"},
        {{"--metrics", "r.json", "--report", "r.json"}, "--metrics and --report name the same file"},
        {{"--threads", "2", "--threads", "3"}, "--threads is given more than once"},
        {{"--colour"}, "unknown option '--colour'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--max-temperature", "29"}, "--max-temperature takes whole degrees Celsius from 30 to 150, or none"},
        {{"--max-temperature", "151"}, "not '151'"},
        {{"--max-temperature", "hot"}, "--max-temperature"},
        {{"--max-power", "0"}, "--max-power takes whole watts from 1 to 10000"},
        {{"--max-power", "9.5"}, "--max-power"},
        {{"--close-at-end"}, "give it with --duration"},
        {{"--close-at-end", "--duration", "1m", "--headless"}, "cannot be given with --headless"},
        {{"--threads"}, "threads"},
        {{"stray"}, "unexpected argument 'stray'"},
    };
    for (const Refused& refused : cases) {
        CommandLine line;
        const ParseOutcome outcome = Parse(refused.arguments, &line);
        const std::string name = refused.arguments.front();
        EXPECT_FALSE(outcome.proceed) << name;
        EXPECT_EQ(outcome.status, kExitUsage) << name;
        EXPECT_NE(outcome.message.find(refused.named), std::string::npos) << name << ": " << outcome.message;
        EXPECT_EQ(outcome.message.rfind("ferrox: ", 0), 0u) << outcome.message;
    }
}

// --threads takes 1 up to the larger of 16 and the machine's processors (at most 1024): both ends
// are taken, one past either is refused with the range this machine allows.
TEST(CommandLineOptions, ThreadCountsUpToTheLimitAndNotOneMore) {
    const struct {
        unsigned automatic;  // the machine's processors
        const char* count;   // --threads' value
        unsigned threads;    // 0: refused
        const char* range;   // the range the message gives when refused
    } cases[] = {
        {8, "1", 1, ""},
        {8, "0", 0, "from 1 to 16,"},
        {8, "16", 16, ""},
        {8, "17", 0, "from 1 to 16,"},
        {1, "16", 16, ""},
        {64, "64", 64, ""},
        {64, "65", 0, "from 1 to 64,"},
        {4096, "1024", 1024, ""},
        {4096, "1025", 0, "from 1 to 1024,"},
    };
    for (const auto& c : cases) {
        const std::string what = std::string("--threads ") + c.count + " with " + std::to_string(c.automatic) + " processors";
        CommandLine line;
        const ParseOutcome outcome = Parse({"--threads", c.count}, &line, c.automatic);
        EXPECT_EQ(outcome.proceed, c.threads > 0) << what << ": " << outcome.message;
        if (c.threads > 0) {
            EXPECT_EQ(line.run.threads, c.threads) << what;
        } else {
            EXPECT_EQ(outcome.status, kExitUsage) << what;
            EXPECT_NE(outcome.message.find(std::string(c.range) + " or auto; not '" + c.count + "'"), std::string::npos)
                << what << ": " << outcome.message;
        }
    }
}

TEST(CommandLineOptions, AcceptedOptionsSetTheStartState) {
    CommandLine line;
    ParseOutcome outcome = Parse({"--threads=3", "--priority", "high", "--load", "avx2", "--no-pin", "--stop-on-error",
                                  "--duration", "1h30m", "--no-animation", "--minimized", "--report", "out.json",
                                  "--metrics", "/var/lib/node_exporter/textfile_collector/ferrox.prom"},
                                 &line);
    ASSERT_TRUE(outcome.proceed) << outcome.message;
    EXPECT_EQ(line.run.threads, 3u);
    EXPECT_EQ(line.run.priority, PriorityChoice::High);
    EXPECT_EQ(line.run.load, LoadChoice::Avx2Fma);
    EXPECT_FALSE(line.run.pin);
    EXPECT_TRUE(line.run.stopOnError);
    EXPECT_DOUBLE_EQ(line.run.durationSeconds, 5400.0);
    EXPECT_FALSE(line.animated);
    EXPECT_TRUE(line.minimized);
    EXPECT_FALSE(line.headless);
    EXPECT_EQ(line.reportPath, "out.json");
    EXPECT_EQ(line.metricsPath, "/var/lib/node_exporter/textfile_collector/ferrox.prom");

    line = CommandLine{};
    outcome = Parse({"--headless", "--json", "--cycle", "30", "--threads", "auto", "--report", "-"}, &line);
    EXPECT_FALSE(outcome.proceed) << "--cycle with --threads, even auto, is refused";
    outcome = Parse({"--headless", "--json", "--cycle", "30", "--priority", "realtime", "--load", "widest", "--report", "-"}, &line);
    ASSERT_TRUE(outcome.proceed) << outcome.message;
    EXPECT_TRUE(line.headless && line.json);
    EXPECT_EQ(line.run.cycleSeconds, 30u);
    EXPECT_TRUE(line.run.pin);
    EXPECT_EQ(line.run.threads, 0u) << "Automatic unless asked";
    EXPECT_EQ(line.run.priority, PriorityChoice::Realtime);
    EXPECT_EQ(line.run.load, LoadChoice::Widest);
    EXPECT_EQ(line.reportPath, "-");

    // The limits, and the short forms of help and version.
    line = CommandLine{};
    ASSERT_TRUE(Parse({"--max-temperature", "90", "--max-power", "250", "--duration", "1m", "--close-at-end"}, &line).proceed);
    EXPECT_EQ(line.run.maxCelsius, 90.0);
    EXPECT_EQ(line.run.maxWatts, 250.0);
    EXPECT_TRUE(line.closeAtEnd);
    ASSERT_TRUE(Parse({"--max-temperature=none"}, &line).proceed);
    EXPECT_EQ(line.run.maxCelsius, kNoLimit);
    EXPECT_NE(Parse({"-V"}, &line).output.find("ferrox "), std::string::npos);
    EXPECT_NE(Parse({"-h"}, &line).output.find("--max-temperature"), std::string::npos);
    // The cache and memory loads, and the memory load's size with its unit or as a share.
    const struct {
        std::vector<std::string> arguments;
        LoadChoice load;
        MemorySizeRequest memory;
    } loads[] = {
        {{"--load", "cache"}, LoadChoice::Cache, {}},
        {{"--load", "memory"}, LoadChoice::Memory, {}},
        {{"--load", "memory", "--memory", "64M"}, LoadChoice::Memory, {MemorySizeRequest::Kind::Bytes, 64ull << 20, 0.0}},
        {{"--load=memory", "--memory=10%"}, LoadChoice::Memory, {MemorySizeRequest::Kind::Percent, 0, 10.0}},
    };
    for (const auto& entry : loads) {
        line = CommandLine{};
        outcome = Parse(entry.arguments, &line);
        ASSERT_TRUE(outcome.proceed) << entry.arguments.back() << ": " << outcome.message;
        EXPECT_EQ(line.run.load, entry.load) << entry.arguments.back();
        EXPECT_EQ(line.run.memory, entry.memory) << entry.arguments.back();
    }

    line = CommandLine{};
    ASSERT_TRUE(Parse({}, &line).proceed);
    EXPECT_EQ(line.run.priority, PriorityChoice::Normal);
    EXPECT_EQ(line.run.load, LoadChoice::Widest) << "a self-checked load unless the classic mixes are asked for";
    EXPECT_TRUE(line.animated && line.run.pin);
    EXPECT_EQ(line.run.durationSeconds, 0.0);
    EXPECT_EQ(line.metricsPath, "") << "no metrics file unless asked";
}

TEST(CommandLineOptions, HelpAndVersionPrintAndStopWithStatusZero) {
    CommandLine line;
    ParseOutcome outcome = Parse({"--version"}, &line);
    EXPECT_FALSE(outcome.proceed);
    EXPECT_EQ(outcome.status, kExitPassed);
    EXPECT_EQ(outcome.output.rfind("ferrox ", 0), 0u);
    outcome = Parse({"--threads", "2", "--help"}, &line);
    EXPECT_FALSE(outcome.proceed);
    EXPECT_EQ(outcome.status, kExitPassed);
    for (const char* text : {"--headless", "--report", "--duration", "Exit status", "3 Ferrox could not start"})
        EXPECT_NE(outcome.output.find(text), std::string::npos) << text;
}

TEST(CommandLineOptions, DurationsInTheirWrittenForms) {
    const struct {
        const char* text;
        double seconds;  // 0: refused
    } cases[] = {
        {"90s", 90}, {"10m", 600}, {"2h", 7200}, {"1h30m", 5400}, {"1h0m5s", 3605}, {"45", 45}, {"2m30s", 150},
        {"", 0}, {"0s", 0}, {"m", 0}, {"10", 10}, {"5s10m", 0}, {"1m1m", 0}, {"10 m", 0}, {"1.5h", 0},
        {"-5s", 0}, {"10ms", 0}, {"8784h", 8784 * 3600.0}, {"8785h", 0}, {"99999999999999999999s", 0},
    };
    for (const auto& entry : cases) {
        double seconds = -1.0;
        const bool accepted = ParseDuration(entry.text, &seconds);
        EXPECT_EQ(accepted, entry.seconds > 0) << "'" << entry.text << "'";
        if (accepted) {
            EXPECT_DOUBLE_EQ(seconds, entry.seconds) << entry.text;
        }
    }
}

}  // namespace
