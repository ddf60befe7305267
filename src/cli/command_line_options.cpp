#include "cli/command_line_options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

#include "cli/exit_status.h"
#include "ferrox_version.h"
#include "plan/test_plan.h"
#include "memtest/memory_size.h"
#include "platform/command_line.h"
#include "platform/memory_status.h"

namespace {

constexpr unsigned kMostThreads = 1024;        // far more than any worker table holds
constexpr unsigned kLongestCycle = 24 * 3600;  // a day on each processor
// Below room temperature no limit makes sense; above 150 °C no processor still runs.
constexpr unsigned long long kLowestTemperatureLimit = 30;
constexpr unsigned long long kHighestTemperatureLimit = 150;
constexpr unsigned long long kHighestPowerLimit = 10000;

const std::vector<CommandLineOption>& Options() {
    static const std::vector<CommandLineOption> options = {
        {"threads", "N|auto", "Load N processors, or every one (auto, the default)."},
        {"priority", "low|normal|high|realtime",
         "The workers' priority (default normal). On Linux a nice value from Ferrox's own: low +19, normal 0, "
         "high -8, realtime -10 (never a real-time scheduling policy; an ordinary user gets at most what "
         "RLIMIT_NICE allows, and is told); on Windows the idle, normal, high class (realtime runs in the high "
         "class at the time-critical thread priority)."},
        {"load", "widest|avx512|avx2|builtin|cache|memory",
         "The load: the widest self-checked kernel this processor runs (the default), AVX-512, AVX2/FMA, the "
         "built-in classic mixes (their own arithmetic is not checked: the verdict is then NO ERRORS SEEN at best), "
         "cache (every word of each worker's share of its caches verified) or memory (checksummed blocks copied "
         "between processors through one large buffer)."},
        {"memory", "SIZE",
         "The memory load's buffer: a size such as 512M, 2G or 1.5T, or a share of the available memory such as 50% "
         "(default 70%, never more than the available memory less 512 MiB or 5% of all memory)."},
        {"cycle", "SECONDS", "Core cycling: one pinned worker moves to the next processor every SECONDS."},
        {"pin", "", "Keep each worker on one processor (the default)."},
        {"no-pin", "", "Let the system move the workers."},
        {"stop-on-error", "", "Stop at the first error (headless); stop the failing worker (window)."},
        {"duration", "TIME", "End the run after TIME: 90s, 10m, 2h, 1h30m."},
        {"max-temperature", "CELSIUS|none",
         "Stop the run (verdict STOPPED, status 5) when a processor sensor reaches CELSIUS degrees. Default: the "
         "sensors' own critical point less 5, where they publish one."},
        {"max-power", "WATTS", "Stop the run (verdict STOPPED, status 5) when a package draws WATTS, where its power can be read."},
        {"no-animation", "", "Start with the logo standing still."},
        {"minimized", "", "Start in the tray."},
        {"close-at-end", "", "With --duration in the window: close the window when the run ends (the exit status is the verdict's)."},
        {"plan", "quick|standard|thorough|FILE",
         "Run a test plan: a sequence of phases, each with its load, threads or core cycling, duration and "
         "variable load (it decides those options itself). Built in: " + DescribeBuiltinPlans() +
             ". FILE: a JSON plan (see the manual)."},
        {"headless", "", "No window and no display: one status line per second on stdout."},
        {"json", "", "Headless status lines as JSON objects."},
        {"report", "FILE", "Write a JSON report to FILE at the end (- for stdout)."},
        {"metrics", "FILE", "Write the run's figures to FILE every 5 s and at the end, in Prometheus' text format (for node_exporter's textfile collector)."},
        {"reset-settings", "", "The window starts as its menus were left in its last run (options given here hold for "
                               "their run only): forget those settings and start from the defaults."},
        {"help", "", "Show this help and exit.", "h"},
        {"version", "", "Show Ferrox's version and exit.", "V"},
    };
    return options;
}

constexpr const char* kExitStatusHelp =
    "\nExit status (one for each verdict): 0 PASSED, the run was complete and checked and no error was found;\n"
    "1 usage error; 2 FAILED, errors were detected (wrong results, a worker that crashed or stopped responding);\n"
    "3 Ferrox could not start (for example no display without --headless); 4 INCOMPLETE, no error but not every\n"
    "worker started, a processor completed no check, or the run was stopped before its duration; 5 STOPPED by a\n"
    "safety limit; 6 the report, or the metrics file at the end, could not be written (whatever the verdict; no\n"
    "report is left at its path);\n"
    "7 NO ERRORS SEEN, a classic mix ran, whose own arithmetic is not checked.\n";

ParseOutcome Usage(const std::string& message) {
    ParseOutcome outcome;
    outcome.status = kExitUsage;
    outcome.message = "ferrox: " + message + " (see ferrox --help)";
    return outcome;
}

// The option parser's own message in Ferrox's style: "unknown option '-x'", lowercase, no full stop,
// the option as the user wrote it.
std::string InFerroxStyle(std::string message, int argc, char** argv) {
    while (!message.empty() && (message.back() == '.' || message.back() == ' ')) message.pop_back();
    if (!message.empty() && message[0] >= 'A' && message[0] <= 'Z') message[0] = static_cast<char>(message[0] - 'A' + 'a');
    const std::size_t open = message.find('\'');
    const std::size_t close = open == std::string::npos ? open : message.find('\'', open + 1);
    if (close == std::string::npos) return message;
    const std::string name = message.substr(open + 1, close - open - 1);
    if (name.empty() || name[0] == '-') return message;
    for (int i = 1; i < argc && argv != nullptr && argv[i] != nullptr; ++i) {
        const std::string argument = argv[i];
        const std::string written = argument.substr(0, argument.find('='));
        if (written == "-" + name || written == "--" + name) return message.substr(0, open + 1) + written + message.substr(close);
    }
    return message;
}

bool ParseWhole(const std::string& text, unsigned long long* value) {
    if (text.empty() || text.size() > 12) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace


ParseOutcome ParseFerroxCommandLine(int argc, char** argv, unsigned automaticThreads, CommandLine* line) {
    const ParsedCommandLine parsed = ParseCommandLine(argc, argv, Options());
    if (!parsed.ok) return Usage(InFerroxStyle(parsed.error, argc, argv));
    if (!parsed.arguments.empty()) return Usage("unexpected argument '" + parsed.arguments.front() + "'");
    for (std::size_t i = 0; i < parsed.given.size(); ++i) {
        if (std::count(parsed.given.begin(), parsed.given.end(), parsed.given[i]) > 1)
            return Usage("--" + parsed.given[i] + " is given more than once");
    }
    auto given = [&](const char* name) {
        return std::find(parsed.given.begin(), parsed.given.end(), name) != parsed.given.end();
    };
    auto value = [&](const char* name) {
        const auto found = parsed.values.find(name);
        return found != parsed.values.end() && !found->second.empty() ? found->second.front() : std::string();
    };

    ParseOutcome outcome;
    if (given("help")) {
        outcome.output = CommandLineHelp("ferrox", "Ferrox keeps every processor busy with checked work and says whether it computed correctly.", Options()) +
                         kExitStatusHelp;
        return outcome;
    }
    if (given("version")) {
        outcome.output = std::string("ferrox ") + kFerroxVersion + "\n";
        return outcome;
    }

    CommandLine result;
    if (given("threads")) {
        const std::string threads = value("threads");
        unsigned long long count = 0;
        const unsigned most = std::min(kMostThreads, std::max(16u, automaticThreads));
        if (threads == "auto") {
            result.run.threads = 0;
        } else if (ParseWhole(threads, &count) && count >= 1 && count <= most) {
            result.run.threads = static_cast<unsigned>(count);
        } else {
            return Usage("--threads takes a whole number from 1 to " + std::to_string(most) + ", or auto; not '" +
                         threads + "'");
        }
    }
    if (given("priority")) {
        const std::string priority = value("priority");
        bool known = false;
        for (PriorityChoice choice : {PriorityChoice::Low, PriorityChoice::Normal, PriorityChoice::High, PriorityChoice::Realtime}) {
            if (priority == PriorityChoiceKey(choice)) {
                result.run.priority = choice;
                known = true;
            }
        }
        if (!known) return Usage("--priority takes low, normal, high or realtime; not '" + priority + "'");
    }
    if (given("load")) {
        const std::string load = value("load");
        bool known = false;
        for (LoadChoice choice : {LoadChoice::Builtin, LoadChoice::Avx2Fma, LoadChoice::Avx512, LoadChoice::Widest,
                                  LoadChoice::Cache, LoadChoice::Memory}) {
            if (load == LoadChoiceKey(choice)) {
                result.run.load = choice;
                known = true;
            }
        }
        if (!known) return Usage("--load takes builtin, avx2, avx512, widest, cache or memory; not '" + load + "'");
    }
    if (given("memory")) {
        std::string reason;
        if (!ParseMemorySize(value("memory"), &result.run.memory, &reason))
            return Usage("--memory takes " + reason + "; not '" + value("memory") + "'");
        if (result.run.load != LoadChoice::Memory) return Usage("--memory sizes the memory load's buffer: give it with --load memory");
        // Refused before anything starts when the machine cannot give it.
        const MemorySizeDecision decision = DecideMemorySize(result.run.memory, ReadMemoryStatus());
        if (!decision.fits) return Usage(decision.problem);
    }
    if (given("cycle")) {
        unsigned long long seconds = 0;
        if (!ParseWhole(value("cycle"), &seconds) || seconds < 1 || seconds > kLongestCycle)
            return Usage("--cycle takes whole seconds from 1 to " + std::to_string(kLongestCycle) + "; not '" +
                         value("cycle") + "'");
        if (given("threads")) return Usage("--cycle runs one worker: it cannot be given with --threads");
        result.run.cycleSeconds = static_cast<unsigned>(seconds);
    }
    if (given("pin") && given("no-pin")) return Usage("--pin and --no-pin contradict each other");
    result.run.pin = !given("no-pin");
    if (given("no-pin") && given("cycle")) return Usage("--cycle keeps its worker pinned: it cannot be given with --no-pin");
    result.run.stopOnError = given("stop-on-error");
    if (given("max-temperature")) {
        const std::string text = value("max-temperature");
        unsigned long long celsius = 0;
        if (text == "none") {
            result.run.maxCelsius = kNoLimit;
        } else if (ParseWhole(text, &celsius) && celsius >= kLowestTemperatureLimit && celsius <= kHighestTemperatureLimit) {
            result.run.maxCelsius = static_cast<double>(celsius);
        } else {
            return Usage("--max-temperature takes whole degrees Celsius from " + std::to_string(kLowestTemperatureLimit) +
                         " to " + std::to_string(kHighestTemperatureLimit) + ", or none; not '" + text + "'");
        }
    }
    if (given("max-power")) {
        const std::string text = value("max-power");
        unsigned long long watts = 0;
        if (!ParseWhole(text, &watts) || watts < 1 || watts > kHighestPowerLimit)
            return Usage("--max-power takes whole watts from 1 to " + std::to_string(kHighestPowerLimit) + "; not '" + text + "'");
        result.run.maxWatts = static_cast<double>(watts);
    }
    if (given("duration") && !ParseDuration(value("duration"), &result.run.durationSeconds))
        return Usage("--duration takes a time such as 90s, 10m, 2h or 1h30m (up to a year); not '" + value("duration") + "'");
    result.animated = !given("no-animation");
    result.minimized = given("minimized");
    result.closeAtEnd = given("close-at-end");
    result.headless = given("headless");
    result.json = given("json");
    if (result.headless && result.minimized) return Usage("--minimized starts the window in the tray: it cannot be given with --headless");
    if (result.json && !result.headless) return Usage("--json changes the headless status lines: give it with --headless");
    if (result.closeAtEnd && result.headless) return Usage("--close-at-end closes the window: it cannot be given with --headless");
    if (result.closeAtEnd && !given("duration") && !given("plan"))
        return Usage("--close-at-end closes the window when the run ends: give it with --duration or --plan");
    if (given("plan")) {
        result.plan = value("plan");
        if (result.plan.empty()) return Usage("--plan needs quick, standard, thorough or a plan file");
        for (const char* decided : {"load", "threads", "cycle", "duration"})
            if (given(decided)) return Usage(std::string("--plan decides --") + decided + " itself: it cannot be given with --" + decided);
    }
    if (given("report")) {
        result.reportPath = value("report");
        if (result.reportPath.empty()) return Usage("--report needs a file name, or - for stdout");
    }
    if (given("metrics")) {
        result.metricsPath = value("metrics");
        if (result.metricsPath.empty() || result.metricsPath == "-")
            return Usage("--metrics needs a file name (a file that is replaced every 5 s, not stdout)");
        if (result.metricsPath == result.reportPath) return Usage("--metrics and --report name the same file");
    }
    result.resetSettings = given("reset-settings");
    result.given = parsed.given;
    if (line != nullptr) *line = result;
    outcome.proceed = true;
    return outcome;
}
