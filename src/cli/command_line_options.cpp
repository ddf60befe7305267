#include "cli/command_line_options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

#include "cli/exit_status.h"
#include "ferrox_version.h"
#include "platform/command_line.h"

namespace {

constexpr unsigned kMostThreads = 1024;        // far more than any worker table holds
constexpr unsigned kLongestCycle = 24 * 3600;  // a day on each processor
constexpr double kLongestRun = 366.0 * 24 * 3600;

const std::vector<CommandLineOption>& Options() {
    static const std::vector<CommandLineOption> options = {
        {"threads", "N|auto", "Load N processors, or every one (auto, the default)."},
        {"priority", "low|normal|high|realtime", "The workers' priority (default normal)."},
        {"load", "widest|avx512|avx2|builtin",
         "The load: the widest self-checked kernel this processor runs (the default), AVX-512, AVX2/FMA, or the "
         "built-in classic mixes (their own arithmetic is not checked: the verdict is then NO ERRORS SEEN at best)."},
        {"cycle", "SECONDS", "Core cycling: one pinned worker moves to the next processor every SECONDS."},
        {"pin", "", "Keep each worker on one processor (the default)."},
        {"no-pin", "", "Let the system move the workers."},
        {"stop-on-error", "", "Stop at the first error (headless); stop the failing worker (window)."},
        {"duration", "TIME", "End the run after TIME: 90s, 10m, 2h, 1h30m."},
        {"no-animation", "", "Start with the logo standing still."},
        {"minimized", "", "Start in the tray."},
        {"close-at-end", "", "With --duration in the window: close the window when the run ends (the exit status is the verdict's)."},
        {"headless", "", "No window and no display: one status line per second on stdout."},
        {"json", "", "Headless status lines as JSON objects."},
        {"report", "FILE", "Write a JSON report to FILE at the end (- for stdout)."},
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
    "safety limit; 6 the report could not be written (whatever the verdict; no report is left at its path);\n"
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

bool ParseDuration(const std::string& text, double* seconds) {
    unsigned long long whole = 0;
    double total = 0.0;
    if (ParseWhole(text, &whole)) {
        total = static_cast<double>(whole);
    } else {
        // Hours, minutes and seconds, each at most once and in that order.
        const char units[] = {'h', 'm', 's'};
        const double unitSeconds[] = {3600.0, 60.0, 1.0};
        std::size_t at = 0;
        int nextUnit = 0;
        while (at < text.size()) {
            std::size_t digits = at;
            while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
            if (digits == at || digits == text.size()) return false;
            int unit = nextUnit;
            while (unit < 3 && units[unit] != text[digits]) ++unit;
            if (unit == 3 || !ParseWhole(text.substr(at, digits - at), &whole)) return false;
            total += static_cast<double>(whole) * unitSeconds[unit];
            nextUnit = unit + 1;
            at = digits + 1;
        }
        if (text.empty()) return false;
    }
    if (total <= 0.0 || total > kLongestRun) return false;
    if (seconds != nullptr) *seconds = total;
    return true;
}

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
        for (LoadChoice choice : {LoadChoice::Builtin, LoadChoice::Avx2Fma, LoadChoice::Avx512, LoadChoice::Widest}) {
            if (load == LoadChoiceKey(choice)) {
                result.run.load = choice;
                known = true;
            }
        }
        if (!known) return Usage("--load takes builtin, avx2, avx512 or widest; not '" + load + "'");
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
    if (result.closeAtEnd && !given("duration")) return Usage("--close-at-end closes the window when --duration ends: give it with --duration");
    if (given("report")) {
        result.reportPath = value("report");
        if (result.reportPath.empty()) return Usage("--report needs a file name, or - for stdout");
    }
    result.resetSettings = given("reset-settings");
    result.given = parsed.given;
    if (line != nullptr) *line = result;
    outcome.proceed = true;
    return outcome;
}
