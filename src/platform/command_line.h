#pragma once
// Reading a program's command line into options and their values (the Qt backend lets
// QCommandLineParser do it). What the options mean, and whether their values are sound, is the
// program's business.

#include <map>
#include <string>
#include <vector>

struct CommandLineOption {
    std::string name;         // the long name, written --name
    std::string valueName;    // empty for a switch; else the option takes a value ("N", "FILE")
    std::string description;  // one line for the help text
    std::string shortName = {};  // one letter, written -h; empty: none. Parsed results use name.
};

struct ParsedCommandLine {
    bool ok = false;
    std::string error;                     // why not, in one line (unknown option, missing value)
    std::vector<std::string> given;        // the names of the options given, in order, repeats kept
    std::map<std::string, std::vector<std::string>> values;  // by name, in order
    std::vector<std::string> arguments;    // what is not an option
};

ParsedCommandLine ParseCommandLine(int argc, char** argv, const std::vector<CommandLineOption>& options);
// "Usage: program [options]", description, and one line per option.
std::string CommandLineHelp(const std::string& program, const std::string& description,
                            const std::vector<CommandLineOption>& options);
