// The command line read the way the Linux build's QCommandLineParser reads it, with its settings
// there: --name and -name are the same long option, a value follows as --name=value or as the next
// argument (whatever it looks like), "--" ends the options, a lone "-" is an argument, and options
// may come after arguments. Errors are worded as Qt words them. The help text is laid out as Qt's.

#include "platform/win32/windows_api.h"

#include <algorithm>
#include <cstdlib>

#include "platform/command_line.h"
#include "platform/win32/text.h"

namespace {

const CommandLineOption* FindOption(const std::vector<CommandLineOption>& options, const std::string& name) {
    for (const CommandLineOption& option : options)
        if (option.name == name || (!option.shortName.empty() && option.shortName == name)) return &option;
    return nullptr;
}

// main's argv comes in the ANSI code page, which cannot hold every file name: the program's own
// command line is read again in UTF-16 and given on as UTF-8. Any other list is taken as it is.
std::vector<std::string> ArgumentsOf(int argc, char** argv) {
    std::vector<std::string> arguments;
    if (argv != nullptr && argv == __argv) {
        int count = 0;
        if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
            for (int i = 0; i < count; ++i) arguments.push_back(Utf8(wide[i]));
            LocalFree(wide);
            if (count == argc) return arguments;
            arguments.clear();
        }
    }
    for (int i = 0; i < argc && argv != nullptr && argv[i] != nullptr; ++i) arguments.emplace_back(argv[i]);
    return arguments;
}

// Qt's layout: the names column as wide as the longest "--name <value>" plus one (at most 50),
// descriptions wrapped to end by column 79, later lines under the first.
std::string OptionLines(const std::string& names, std::size_t namesWidth, const std::string& description) {
    const std::string indentation = "  ";
    std::size_t nameIndex = 0;
    auto nextNames = [&] {
        std::string section = names.substr(std::min(nameIndex, names.size()), namesWidth);
        nameIndex += section.size();
        if (section.size() < namesWidth) section.append(namesWidth - section.size(), ' ');
        return section;
    };
    std::string text;
    const long max = 79 - static_cast<long>(indentation.size() + namesWidth + 1);
    const long length = static_cast<long>(description.size());
    long lineStart = 0, lastBreakable = -1, x = 0;
    for (long i = 0; i < length; ++i) {
        ++x;
        const char c = description[static_cast<std::size_t>(i)];
        if (c == ' ' || c == '\t' || c == '\n') lastBreakable = i;
        long breakAt = -1, nextLineStart = -1;
        if (x > max && lastBreakable != -1) {
            breakAt = lastBreakable;
            nextLineStart = lastBreakable + 1;
        } else if ((x > max - 1 && lastBreakable == -1) || i == length - 1) {
            breakAt = i + 1;
            nextLineStart = breakAt;
        } else if (c == '\n') {
            breakAt = i;
            nextLineStart = i + 1;
        }
        if (breakAt != -1) {
            text += indentation + nextNames() + ' ';
            text += description.substr(static_cast<std::size_t>(lineStart), static_cast<std::size_t>(breakAt - lineStart)) + '\n';
            x = 0;
            lastBreakable = -1;
            lineStart = nextLineStart;
            if (lineStart < length && description[static_cast<std::size_t>(lineStart)] == ' ') ++lineStart;
            i = lineStart;
        }
    }
    while (nameIndex < names.size()) {
        std::string section = names.substr(nameIndex, namesWidth);
        nameIndex += section.size();
        text += indentation + section + '\n';
    }
    return text;
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, char** argv, const std::vector<CommandLineOption>& options) {
    const std::vector<std::string> arguments = ArgumentsOf(argc, argv);
    ParsedCommandLine parsed;
    std::vector<std::string> unknown;
    std::string valueError;
    bool onlyArguments = false;
    // The first entry is the program.
    for (std::size_t at = 1; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (onlyArguments || argument.size() < 2 || argument[0] != '-') {
            parsed.arguments.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyArguments = true;
            continue;
        }
        const std::size_t nameStart = argument[1] == '-' ? 2 : 1;
        const std::size_t assign = argument.find('=');
        const std::string name = argument.substr(nameStart, assign == std::string::npos ? std::string::npos : assign - nameStart);
        const CommandLineOption* option = FindOption(options, name);
        if (option == nullptr) {
            unknown.push_back(name);
            continue;
        }
        parsed.given.push_back(option->name);
        if (option->valueName.empty()) {
            if (assign != std::string::npos) valueError = "Unexpected value after '" + argument.substr(0, assign) + "'.";
        } else if (assign != std::string::npos) {
            parsed.values[option->name].push_back(argument.substr(assign + 1));
        } else if (at + 1 < arguments.size()) {
            parsed.values[option->name].push_back(arguments[++at]);
        } else {
            valueError = "Missing value after '" + argument + "'.";
        }
    }
    // A value error is told before unknown options; the last one of each kind.
    if (!valueError.empty()) {
        parsed.error = valueError;
    } else if (unknown.size() == 1) {
        parsed.error = "Unknown option '" + unknown.front() + "'.";
    } else if (unknown.size() > 1) {
        std::string names;
        for (const std::string& name : unknown) names += (names.empty() ? "" : ", ") + name;
        parsed.error = "Unknown options: " + names + ".";
    }
    parsed.ok = parsed.error.empty();
    if (!parsed.ok) return ParsedCommandLine{false, parsed.error, {}, {}, {}};
    return parsed;
}

std::string CommandLineHelp(const std::string& program, const std::string& description,
                            const std::vector<CommandLineOption>& options) {
    std::string text = "Usage: " + program + (options.empty() ? "" : " [options]") + "\n";
    if (!description.empty()) text += description + "\n";
    text += "\n";
    if (!options.empty()) text += "Options:\n";
    std::vector<std::string> names;
    std::size_t longest = 0;
    for (const CommandLineOption& option : options) {
        std::string shown = (option.shortName.empty() ? "" : "-" + option.shortName + ", ") +
                            (option.name.size() == 1 ? "-" : "--") + option.name;
        if (!option.valueName.empty()) shown += " <" + option.valueName + ">";
        longest = std::max(longest, shown.size());
        names.push_back(std::move(shown));
    }
    const std::size_t namesWidth = std::min<std::size_t>(50, longest + 1);
    for (std::size_t i = 0; i < options.size(); ++i) text += OptionLines(names[i], namesWidth, options[i].description);
    return text;
}
